// The input box driven as a user would: typed text and OK, Cancel, Enter and Escape.
#include <gtest/gtest.h>

#include "framework/InputBox.h"

namespace {
// Runs InputQuery on value with a hook that types text and ends the box with key (or a button).
bool Answer(std::string& value, const std::string& text, const std::function<void(TInputQueryForm&)>& end) {
  TModalHookScope hook([&](TForm& form) {
    auto& box = dynamic_cast<TInputQueryForm&>(form);
    box.Edit->SetText(text);
    end(box);
  });
  return InputQuery("Please Enter", "System Backup Name", value);
}
}  // namespace

TEST(InputBox, ShowsCaptionPromptAndTheInitialText) {
  std::string value = "before";
  TModalHookScope hook([](TForm& form) {
    auto& box = dynamic_cast<TInputQueryForm&>(form);
    EXPECT_EQ(box.Caption(), "Please Enter");
    EXPECT_EQ(box.Prompt->Caption(), "System Backup Name");
    EXPECT_EQ(box.Edit->Text(), "before");
    EXPECT_TRUE(box.Modal());
  });
  EXPECT_FALSE(InputQuery("Please Enter", "System Backup Name", value));
}

TEST(InputBox, OkGivesTheTextCancelKeepsTheValue) {
  std::string value = "old";
  EXPECT_TRUE(Answer(value, "Before the driver", [](TInputQueryForm& b) { b.OkButton->Perform(BM_CLICK); }));
  EXPECT_EQ(value, "Before the driver");
  EXPECT_FALSE(Answer(value, "dropped", [](TInputQueryForm& b) { b.CancelButton->Perform(BM_CLICK); }));
  EXPECT_EQ(value, "Before the driver");
  EXPECT_TRUE(Answer(value, "", [](TInputQueryForm& b) { EXPECT_TRUE(b.HandleDialogKey(VK_RETURN)); }));
  EXPECT_EQ(value, "");   // an empty text is an answer too
  EXPECT_FALSE(Answer(value, "dropped", [](TInputQueryForm& b) { EXPECT_TRUE(b.HandleDialogKey(VK_ESCAPE)); }));
  EXPECT_FALSE(Answer(value, "dropped", [](TInputQueryForm& b) { b.Close(); }));
  EXPECT_EQ(value, "");
}
