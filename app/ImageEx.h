// TImageEx: a picture that tells when the mouse enters and leaves it. The skinned windows use
// it as a button whose picture changes under the mouse: one pair of handlers serves several
// pictures and tells them apart by the sender.
#pragma once

#include <string>

#include "../framework/Controls.h"
#include "../framework/ImageList.h"

class TImageEx : public TImage {
 public:
  explicit TImageEx(TControl* parent);
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  void CMMouseEnter() override;
  void CMMouseLeave() override;
};

// A picture button at the given bounds: image `picture` of list, picture + 1 while the mouse is
// over it, with a hand cursor; a click runs click. The list must outlive the button (the data
// module's image lists do).
TImageEx* NewPictureButton(TControl* parent, const std::string& name, int left, int top, int width, int height,
                           const TImageList& list,
                           int picture, TNotifyEvent click);
