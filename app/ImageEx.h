// TImageEx: a picture that tells when the mouse enters and leaves it. The skinned windows use
// it as a button whose picture changes under the mouse: one pair of handlers serves several
// pictures and tells them apart by the sender.
#pragma once

#include "../framework/Controls.h"

class TImageEx : public TImage {
 public:
  explicit TImageEx(TControl* parent);
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void CMMouseEnter() override;
  void CMMouseLeave() override;
};
