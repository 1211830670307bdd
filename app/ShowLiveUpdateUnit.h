// The wait window of an interactive update check: "Live Update" with its animated picture.
#pragma once

#include "../framework/Forms.h"
#include "../framework/Pictures.h"
#include "../framework/StdCtrls.h"

class TShowLiveUpdateForm : public TForm {
 public:
  explicit TShowLiveUpdateForm(TForm* owner = nullptr);

  TAnimatedImage* Image1;   // the animation, sized to its picture
  TLabel* Label1;

  // Shows the window (not modal) and paints it at once: the check that follows blocks.
  void ShowAndPaint();
};
