// The wait window of an interactive update check: "Live Update" with its animated picture.
#pragma once

#include <windows.h>

class TShowLiveUpdateForm {
 public:
  TShowLiveUpdateForm();
  ~TShowLiveUpdateForm();
  TShowLiveUpdateForm(const TShowLiveUpdateForm&) = delete;
  TShowLiveUpdateForm& operator=(const TShowLiveUpdateForm&) = delete;

  // Shows the window (not modal) and paints it at once: the check that follows blocks.
  void ShowAndPaint();
  HWND Handle() const { return handle_; }

 private:
  HWND handle_ = nullptr;
  HWND label_ = nullptr;
  HFONT font_ = nullptr;
};
