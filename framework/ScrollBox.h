// A container whose content may be taller than itself: a vertical scroll bar (and the mouse
// wheel) moves the controls inside it.
//
// How to use: `auto* box = new TScrollBox(page); box->SetBounds(4, 4, 481, 200);`, create the
// controls inside it at their content positions, then `box->SetContentHeight(464);`.
#pragma once

#include "Controls.h"

class TScrollBox : public TControl {
 public:
  explicit TScrollBox(TControl* parent);
  // The height of the content; the scroll bar is shown while it is taller than the box.
  void SetContentHeight(int height);
  int ScrollPosition() const { return position_; }
  void ScrollTo(int position);   // kept within the content

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void UpdateBar();
  int ScrollTarget(WORD code) const;
  int content_ = 0;
  int position_ = 0;
};
