#include "Graphics.h"

#include <cstring>
#include <map>
#include <tuple>

#include "Strings.h"

COLORREF ColorToRGB(TColor color) {
  if ((color & 0xFF000000) == clSystemColor) return GetSysColor((int)(color & 0xFF));
  return color & 0x00FFFFFF;
}

HBRUSH ColorBrush(TColor color) {
  if ((color & 0xFF000000) == clSystemColor) return GetSysColorBrush((int)(color & 0xFF));
  static std::map<TColor, HBRUSH> brushes;
  auto it = brushes.find(color);
  if (it != brushes.end()) return it->second;
  HBRUSH brush = CreateSolidBrush(ColorToRGB(color));
  brushes[color] = brush;
  return brush;
}

HFONT TFont::Handle() const {
  using Key = std::tuple<std::string, int, bool, bool, bool>;
  static std::map<Key, HFONT> fonts;
  Key key{Name, Height, Bold, Italic, Underline};
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  LOGFONTW lf{};
  lf.lfHeight = -Height;
  lf.lfWeight = Bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = Italic;
  lf.lfUnderline = Underline;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  std::wstring face = Widen(Name);
  wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  fonts[key] = font;
  return font;
}

// ---- TBitmap ----

TBitmap::TBitmap(int width, int height, TColor fill) { SetSize(width, height, fill); }

TBitmap::~TBitmap() { Clear(); }

TBitmap::TBitmap(TBitmap&& other) noexcept { *this = std::move(other); }

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
  if (this != &other) {
    Clear();
    handle_ = other.handle_;
    bits_ = other.bits_;
    width_ = other.width_;
    height_ = other.height_;
    Transparent = other.Transparent;
    TransparentColor = other.TransparentColor;
    other.handle_ = nullptr;
    other.bits_ = nullptr;
    other.width_ = other.height_ = 0;
  }
  return *this;
}

void TBitmap::Clear() {
  if (handle_ != nullptr) DeleteObject(handle_);
  handle_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = 0;
}

void TBitmap::SetSize(int width, int height, TColor fill) {
  Clear();
  if (width <= 0 || height <= 0) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bmp == nullptr) return;
  handle_ = bmp;
  bits_ = static_cast<uint32_t*>(bits);
  width_ = width;
  height_ = height;
  COLORREF c = ColorToRGB(fill);
  uint32_t bgra = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
  for (int i = 0; i < width * height; ++i) bits_[i] = bgra;
}

void TBitmap::Assign(const TBitmap& other) {
  if (this == &other) return;
  SetSize(other.width_, other.height_);
  if (bits_ != nullptr) std::memcpy(bits_, other.bits_, (size_t)width_ * height_ * 4);
  Transparent = other.Transparent;
  TransparentColor = other.TransparentColor;
}

uint32_t TBitmap::Pixel(int x, int y) const {
  if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  GdiFlush();
  uint32_t p = bits_[y * width_ + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void TBitmap::Draw(HDC dc, int x, int y) const {
  RECT r{x, y, x + width_, y + height_};
  StretchDraw(dc, r);
}

void TBitmap::StretchDraw(HDC dc, const RECT& r) const {
  if (handle_ == nullptr) return;
  TBitmapDC src(*this);
  int w = r.right - r.left, h = r.bottom - r.top;
  if (Transparent) {
    TransparentBlt(dc, r.left, r.top, w, h, src.Handle(), 0, 0, width_, height_, ColorToRGB(TransparentColor));
  } else if (w == width_ && h == height_) {
    BitBlt(dc, r.left, r.top, w, h, src.Handle(), 0, 0, SRCCOPY);
  } else {
    SetStretchBltMode(dc, HALFTONE);
    StretchBlt(dc, r.left, r.top, w, h, src.Handle(), 0, 0, width_, height_, SRCCOPY);
  }
}

TBitmapDC::TBitmapDC(const TBitmap& bitmap) {
  dc_ = CreateCompatibleDC(nullptr);
  old_ = SelectObject(dc_, bitmap.Handle());
}

TBitmapDC::~TBitmapDC() {
  SelectObject(dc_, old_);
  DeleteDC(dc_);
}

// ---- TCanvas ----

void TCanvas::FillRect(const RECT& r) { ::FillRect(dc_, &r, ColorBrush(BrushColor)); }

void TCanvas::FrameRect(const RECT& r) { ::FrameRect(dc_, &r, ColorBrush(PenColor)); }

void TCanvas::Rectangle(const RECT& r) {
  if (!BrushClear) FillRect(r);
  FrameRect(r);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  std::wstring w = Widen(text);
  HGDIOBJ old = SelectObject(dc_, Font.Handle());
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, ColorToRGB(Font.Color));
  ::TextOutW(dc_, x, y, w.c_str(), (int)w.size());
  SelectObject(dc_, old);
}

void TCanvas::TextRect(const RECT& r, const std::string& text, UINT flags) {
  std::wstring w = Widen(text);
  RECT rc = r;
  HGDIOBJ old = SelectObject(dc_, Font.Handle());
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, ColorToRGB(Font.Color));
  DrawTextW(dc_, w.c_str(), (int)w.size(), &rc, flags);
  SelectObject(dc_, old);
}

SIZE TCanvas::TextExtent(const std::string& text) {
  std::wstring w = Widen(text);
  SIZE size{};
  HGDIOBJ old = SelectObject(dc_, Font.Handle());
  GetTextExtentPoint32W(dc_, w.c_str(), (int)w.size(), &size);
  SelectObject(dc_, old);
  return size;
}
