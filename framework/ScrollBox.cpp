#include "ScrollBox.h"

#include <algorithm>

namespace {
const int kLine = 20;
}

TScrollBox::TScrollBox(TControl* parent)
    : TControl(parent, {.Style = WS_VSCROLL | WS_CLIPCHILDREN, .Width = 185, .Height = 41}) {
  UpdateBar();
}

void TScrollBox::SetContentHeight(int height) {
  content_ = std::max(0, height);
  UpdateBar();
  ScrollTo(position_);
}

void TScrollBox::UpdateBar() {
  SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0,
                  std::max(0, content_ - 1), (UINT)std::max(0, ClientHeight()), position_, 0};
  SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
}

void TScrollBox::ScrollTo(int position) {
  int limit = std::max(0, content_ - ClientHeight());
  position = std::clamp(position, 0, limit);
  if (position == position_) return;
  int dy = position_ - position;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    c->SetBounds(c->Left(), c->Top() + dy, c->Width(), c->Height());
  }
  Invalidate();
  position_ = position;
  UpdateBar();
}

int TScrollBox::ScrollTarget(WORD code) const {
  switch (code) {
    case SB_LINEUP: return position_ - kLine;
    case SB_LINEDOWN: return position_ + kLine;
    case SB_PAGEUP: return position_ - ClientHeight();
    case SB_PAGEDOWN: return position_ + ClientHeight();
    case SB_TOP: return 0;
    case SB_BOTTOM: return content_;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO info{sizeof info, SIF_TRACKPOS};
      GetScrollInfo(Handle(), SB_VERT, &info);
      return info.nTrackPos;
    }
    default: return position_;
  }
}

LRESULT TScrollBox::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_VSCROLL && lp == 0) {
    ScrollTo(ScrollTarget(LOWORD(wp)));
    return 0;
  }
  if (msg == WM_MOUSEWHEEL) {
    ScrollTo(position_ - GET_WHEEL_DELTA_WPARAM(wp) / WHEEL_DELTA * 3 * kLine);
    return 0;
  }
  LRESULT r = TControl::WndProc(msg, wp, lp);
  if (msg == WM_SIZE) UpdateBar();
  return r;
}
