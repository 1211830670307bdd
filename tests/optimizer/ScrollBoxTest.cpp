// The scroll box that holds the optimizer's long lists of boxes.
#include <gtest/gtest.h>

#include "framework/Forms.h"
#include "framework/ScrollBox.h"

namespace {

TEST(OptimizerScrollBox, ScrollsItsControlsWithinTheContent) {
  TFormPtr<TForm> form(new TForm({.Border = TBorderStyle::Dialog}));
  form->SetClientSize(300, 300);
  auto* box = new TScrollBox(form.get());
  box->SetBounds(0, 0, 200, 100);
  auto* last = new TLabel(box);
  last->SetBounds(4, 280, 100, 20);
  box->SetContentHeight(300);
  box->ScrollTo(150);
  EXPECT_EQ(box->ScrollPosition(), 150);
  EXPECT_EQ(last->Top(), 130);
  box->Perform(WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(box->ScrollPosition(), 300 - box->ClientHeight());
  EXPECT_EQ(last->Top() + last->Height(), box->ClientHeight());
  box->Perform(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * 10), 0);
  EXPECT_EQ(box->ScrollPosition(), 0);
  EXPECT_EQ(last->Top(), 280);
}

}  // namespace
