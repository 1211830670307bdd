// Pictures from our resources or from bytes: JPEG (libjpeg-turbo) and animated GIF (giflib),
// decoded into bitmaps. Bad or truncated data fails cleanly: the call returns false with a
// reason and the output is left empty (never half a picture).
//
// How to use: `TBitmap bmp; if (LoadJpegResource("ABOUT_BANNER", bmp)) image->SetPicture(std::move(bmp));`
// `TGifImage gif; gif.LoadFromResource("UPDATE_ANIMATION");` then a TAnimatedImage plays it.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"
#include "Graphics.h"
#include "Timer.h"

// The bytes of an RCDATA resource of the program; empty when there is none.
std::string ResourceBytes(const std::string& name);

bool DecodeJpeg(const std::string& bytes, TBitmap& out, std::string* error = nullptr);
bool LoadJpegResource(const std::string& name, TBitmap& out);

class TGifImage {
 public:
  bool LoadFromBytes(const std::string& bytes, std::string* error = nullptr);
  bool LoadFromResource(const std::string& name);
  void Clear();

  int Width() const { return width_; }
  int Height() const { return height_; }
  int FrameCount() const { return (int)frames_.size(); }
  const TBitmap& Frame(int index) const { return frames_.at(index); }   // the whole picture at that frame
  int Delay(int index) const { return delays_.at(index); }              // milliseconds
  int LoopCount() const { return loopCount_; }   // 0 loops forever, -1: no loop extension (plays once)

 private:
  std::vector<TBitmap> frames_;
  std::vector<int> delays_;
  int width_ = 0;
  int height_ = 0;
  int loopCount_ = -1;
};

// An image that plays an animated GIF from the message loop.
class TAnimatedImage : public TImage {
 public:
  explicit TAnimatedImage(TControl* parent);
  void SetAnimation(TGifImage&& gif);   // shows the first frame; AutoSize takes the GIF's size
  void Play();
  void Stop();
  bool Playing() const { return timer_.Enabled(); }
  int FrameIndex() const { return frame_; }
  void ShowFrame(int index);
  // The timer's step: the next frame (after the last, the first again while the loop count
  // allows, else it stops), due after that frame's delay.
  void Advance();
  int FrameDelay() const { return timer_.Interval(); }

 private:
  TGifImage gif_;
  TTimer timer_;
  int frame_ = 0;
  int loopsDone_ = 0;
};
