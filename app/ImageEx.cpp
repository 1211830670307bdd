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
