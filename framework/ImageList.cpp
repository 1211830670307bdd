#include "ImageList.h"

#include "Controls.h"

#include "Strings.h"

TImageList::TImageList(int width, int height)
    : width_(width), height_(height), handle_(ImageList_Create(width, height, ILC_COLOR24 | ILC_MASK, 4, 4)) {}

TImageList::~TImageList() {
  if (handle_ != nullptr) ImageList_Destroy(handle_);
}

int TImageList::Count() const { return handle_ != nullptr ? ImageList_GetImageCount(handle_) : 0; }

int TImageList::AddStrip(const std::string& resourceName) {
  HBITMAP bmp = (HBITMAP)LoadImageW(GetModuleHandleW(nullptr), Widen(resourceName).c_str(), IMAGE_BITMAP, 0, 0,
                                    LR_CREATEDIBSECTION);
  if (bmp == nullptr) return 0;
  BITMAP info{};
  GetObjectW(bmp, sizeof info, &info);
  int added = 0;
  if (info.bmHeight == height_ && info.bmWidth >= width_) {
    int before = Count();
    ImageList_AddMasked(handle_, bmp, ColorToRGB(MaskColor));
    added = Count() - before;
  }
  DeleteObject(bmp);
  return added;
}

int TImageList::AddBitmap(const TBitmap& strip) {
  if (strip.Empty() || strip.Height() != height_) return 0;
  // ImageList_AddMasked changes the bitmap it is given: hand it a copy.
  TBitmap copy;
  copy.Assign(strip);
  int before = Count();
  ImageList_AddMasked(handle_, copy.Handle(), ColorToRGB(MaskColor));
  return Count() - before;
}

int TImageList::AddIcon(HICON icon) { return ImageList_AddIcon(handle_, icon); }

void TImageList::Clear() { ImageList_RemoveAll(handle_); }

void TImageList::Draw(HDC dc, int x, int y, int index, bool enabled) const {
  if (index < 0 || index >= Count()) return;
  ImageList_DrawEx(handle_, index, dc, x, y, 0, 0, CLR_NONE, CLR_NONE,
                   enabled ? ILD_TRANSPARENT : (ILD_TRANSPARENT | ILD_BLEND50));
}

void TImageList::GetBitmap(int index, TBitmap& bitmap) const {
  bitmap.SetSize(width_, height_, MaskColor);
  bitmap.Transparent = true;
  bitmap.TransparentColor = MaskColor;
  if (index < 0 || index >= Count()) return;
  TBitmapDC dc(bitmap);
  ImageList_Draw(handle_, index, dc.Handle(), 0, 0, ILD_TRANSPARENT);
}

HICON TImageList::GetIcon(int index) const { return ImageList_GetIcon(handle_, index, ILD_TRANSPARENT); }

void ShowImage(TImage* image, const TImageList& list, int index) {
  image->ClearPicture();
  if (index < 0 || index >= list.Count()) return;
  TBitmap bmp;
  list.GetBitmap(index, bmp);
  image->SetPicture(std::move(bmp));
}
