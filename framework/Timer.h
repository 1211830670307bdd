// A timer: OnTimer runs every Interval milliseconds while Enabled, from the message loop and
// behind the exception boundary.
//
// How to use: hold a TTimer (a member or unique_ptr), set Interval and OnTimer, SetEnabled(true).
#pragma once

#include <cstdint>

#include <windows.h>

#include "Controls.h"

class TTimer : public TObject {
 public:
  TTimer() = default;
  ~TTimer() override;
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  int Interval() const { return interval_; }
  void SetInterval(int ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  TNotifyEvent OnTimer;
  int Tag = 0;

  // The framework's side: runs the timer with this id.
  static void Dispatch(UINT_PTR id);

 private:
  void Restart();
  int interval_ = 1000;
  bool enabled_ = false;
  UINT_PTR id_ = 0;
};
