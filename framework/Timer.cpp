#include "Timer.h"

#include <unordered_map>

#include "Application.h"
#include "Exceptions.h"

namespace {
std::unordered_map<UINT_PTR, TTimer*>& Timers() {
  static std::unordered_map<UINT_PTR, TTimer*> timers;
  return timers;
}
UINT_PTR NextTimerId() {
  static UINT_PTR next = 1;
  return next++;
}
}  // namespace

TTimer::~TTimer() { SetEnabled(false); }

void TTimer::SetInterval(int ms) {
  interval_ = ms;
  if (enabled_) Restart();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (enabled) {
    Restart();
  } else if (id_ != 0) {
    KillTimer(Application.UtilityWindow(), id_);
    Timers().erase(id_);
    id_ = 0;
  }
}

void TTimer::Restart() {
  if (id_ == 0) {
    id_ = NextTimerId();
    Timers()[id_] = this;
  }
  if (interval_ > 0) {
    SetTimer(Application.UtilityWindow(), id_, (UINT)interval_, nullptr);
  } else {
    KillTimer(Application.UtilityWindow(), id_);
  }
}

void TTimer::Dispatch(UINT_PTR id) {
  auto it = Timers().find(id);
  if (it == Timers().end()) {
    KillTimer(Application.UtilityWindow(), id);
    return;
  }
  TTimer* timer = it->second;
  if (timer->OnTimer) Guarded([&] { timer->OnTimer(timer); });
}
