// Colours, fonts, bitmaps and a small drawing surface.
//
// Colours are TColor values written $BBGGRR (the same number as a Win32 COLORREF); a value
// whose high byte is $FF names a system colour (clBtnFace, clAppWorkSpace, ...).
// TFont describes a font by name, pixel height, style and colour; Handle() gives a cached HFONT.
// TBitmap owns a 32-bit bitmap; it may carry a transparent colour for masked drawing.
// TCanvas wraps an HDC for owner drawing: Brush/Pen colours, Font, FillRect, FrameRect, TextOut.
#pragma once

#include <cstdint>
#include <string>

#include <windows.h>

using TColor = uint32_t;

inline constexpr TColor clSystemColor = 0xFF000000;
inline constexpr TColor clNone = 0x1FFFFFFF;   // "no colour": nothing is filled
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
inline constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;

// The RGB value of a colour, system colours resolved.
COLORREF ColorToRGB(TColor color);
// A solid brush of the colour, cached for the life of the program (never delete it).
HBRUSH ColorBrush(TColor color);

struct TFont {
  std::string Name = "MS Sans Serif";   // the forms' face; a form or control may declare its own
  int Height = 11;        // character height in pixels
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  TColor Color = clWindowText;

  HFONT Handle() const;   // cached per name, height and style; never delete it
  bool operator==(const TFont&) const = default;
};

// An owned 32-bit top-down bitmap. Moves, does not copy implicitly (use Assign).
class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, TColor fill = clWhite);
  ~TBitmap();
  TBitmap(TBitmap&& other) noexcept;
  TBitmap& operator=(TBitmap&& other) noexcept;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  void SetSize(int width, int height, TColor fill = clWhite);   // drops the old content
  void Assign(const TBitmap& other);
  void Clear();                         // empty again
  bool Empty() const { return handle_ == nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  HBITMAP Handle() const { return handle_; }
  uint32_t* Bits() const { return bits_; }          // BGRA pixels, row by row from the top
  uint32_t Pixel(int x, int y) const;                // as COLORREF ($BBGGRR); 0 outside

  // Pixels of this colour are not drawn when Transparent is set.
  bool Transparent = false;
  TColor TransparentColor = clFuchsia;

  // Draws at (x, y) in its own size, or stretched to the rectangle.
  void Draw(HDC dc, int x, int y) const;
  void StretchDraw(HDC dc, const RECT& rect) const;

 private:
  HBITMAP handle_ = nullptr;
  uint32_t* bits_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// A memory DC with a bitmap selected into it, for drawing into a TBitmap.
class TBitmapDC {
 public:
  explicit TBitmapDC(const TBitmap& bitmap);
  ~TBitmapDC();
  TBitmapDC(const TBitmapDC&) = delete;
  TBitmapDC& operator=(const TBitmapDC&) = delete;
  HDC Handle() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A drawing surface over a DC the caller owns (WM_PAINT, WM_DRAWITEM).
class TCanvas {
 public:
  explicit TCanvas(HDC dc) : dc_(dc) {}
  HDC Handle() const { return dc_; }

  TColor BrushColor = clWhite;
  bool BrushClear = false;   // FrameRect/Rectangle leave the inside alone
  TColor PenColor = clBlack;
  TFont Font;

  void FillRect(const RECT& r);                    // with BrushColor
  void FrameRect(const RECT& r);                   // one-pixel frame in PenColor
  void Rectangle(const RECT& r);                   // frame in PenColor, inside in BrushColor unless BrushClear
  void TextOut(int x, int y, const std::string& text);   // transparent background, Font
  void TextRect(const RECT& r, const std::string& text, UINT drawTextFlags);
  SIZE TextExtent(const std::string& text);
  void Draw(int x, int y, const TBitmap& bitmap) { bitmap.Draw(dc_, x, y); }

 private:
  HDC dc_;
};
