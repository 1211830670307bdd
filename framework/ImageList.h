// A list of same-sized images with a mask colour, loaded from our bitmap resources.
//
// How to use: `TImageList list(16, 16); list.AddStrip("StatImageList");` (a bitmap resource of
// images side by side, magenta where transparent). Draw(dc, x, y, i) draws image i masked;
// GetBitmap(i, bmp) clears bmp and draws image i into it (transparent where masked), which is
// how pictures swap images under the mouse.
#pragma once

#include <string>

#include <windows.h>
#include <commctrl.h>

#include "Graphics.h"

class TImage;

class TImageList {
 public:
  TImageList(int width, int height);
  ~TImageList();
  TImageList(const TImageList&) = delete;
  TImageList& operator=(const TImageList&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const;
  HIMAGELIST Handle() const { return handle_; }
  TColor MaskColor = clFuchsia;

  // Adds every image of a bitmap resource strip (its width a multiple of Width). Returns the
  // number added; 0 when the resource is missing or of the wrong height.
  int AddStrip(const std::string& resourceName);
  int AddBitmap(const TBitmap& strip);
  int AddIcon(HICON icon);
  void Clear();

  void Draw(HDC dc, int x, int y, int index, bool enabled = true) const;
  void GetBitmap(int index, TBitmap& bitmap) const;
  HICON GetIcon(int index) const;   // the caller destroys it

 private:
  int width_;
  int height_;
  HIMAGELIST handle_;
};

// Shows image `index` of list on image (an index outside the list leaves it empty): how picture
// buttons swap their pictures under the mouse.
void ShowImage(TImage* image, const TImageList& list, int index);
