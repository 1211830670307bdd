#include "ImageEx.h"

TImageEx::TImageEx(TControl* parent) : TImage(parent) {}

void TImageEx::CMMouseEnter() {
  TImage::CMMouseEnter();
  if (OnMouseEnter) OnMouseEnter(this);
}

void TImageEx::CMMouseLeave() {
  TImage::CMMouseLeave();
  if (OnMouseLeave) OnMouseLeave(this);
}

TImageEx* NewPictureButton(TControl* parent, const std::string& name, int left, int top, int width, int height,
                           const TImageList& list,
                           int picture, TNotifyEvent click) {
  auto* button = new TImageEx(parent);
  button->Name = name;
  button->SetBounds(left, top, width, height);
  button->SetCursor(TCursor::HandPoint);
  ShowImage(button, list, picture);
  const TImageList* images = &list;
  button->OnMouseEnter = [button, images, picture](TObject*) { ShowImage(button, *images, picture + 1); };
  button->OnMouseLeave = [button, images, picture](TObject*) { ShowImage(button, *images, picture); };
  button->OnClick = std::move(click);
  return button;
}
