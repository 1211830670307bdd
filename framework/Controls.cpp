#include "Controls.h"

#include <algorithm>
#include <set>
#include <unordered_map>

#include "Exceptions.h"
#include "Forms.h"
#include "Strings.h"

namespace {
const wchar_t kControlProp[] = L"Zelvoran.Control";

std::unordered_map<UINT, TControl*>& ControlIds() {
  static std::unordered_map<UINT, TControl*> ids;
  return ids;
}
UINT NextControlId() {
  static UINT next = 1000;
  return next++;
}

// Paints through a memory bitmap so that text over pictures does not flicker.
struct BufferedPaint {
  HWND hwnd;
  PAINTSTRUCT ps{};
  HDC target = nullptr;
  HDC mem = nullptr;
  HBITMAP bmp = nullptr;
  HGDIOBJ old = nullptr;
  RECT client{};
  explicit BufferedPaint(HWND h) : hwnd(h) {
    target = BeginPaint(hwnd, &ps);
    GetClientRect(hwnd, &client);
    mem = CreateCompatibleDC(target);
    bmp = CreateCompatibleBitmap(target, std::max(1L, client.right), std::max(1L, client.bottom));
    old = SelectObject(mem, bmp);
  }
  ~BufferedPaint() {
    BitBlt(target, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    EndPaint(hwnd, &ps);
  }
};
}  // namespace

LRESULT CALLBACK ControlWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* control = static_cast<TControl*>(GetPropW(hwnd, kControlProp));
  if (control == nullptr && msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    control = static_cast<TControl*>(cs->lpCreateParams);
    if (control != nullptr) {
      SetPropW(hwnd, kControlProp, control);
      control->handle_ = hwnd;
    }
  }
  if (control == nullptr) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    WNDPROC old = control->oldProc_;
    RemovePropW(hwnd, kControlProp);
    control->handle_ = nullptr;
    return old != nullptr ? CallWindowProcW(old, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
  }
  if (!control->ready_) {
    return control->oldProc_ != nullptr ? CallWindowProcW(control->oldProc_, hwnd, msg, wp, lp)
                                        : DefWindowProcW(hwnd, msg, wp, lp);
  }
  return control->Dispatch(msg, wp, lp);
}

void RegisterControlClass(const std::wstring& name) {
  static std::set<std::wstring> registered;
  if (registered.count(name)) return;
  WNDCLASSEXW wc{sizeof wc};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = ControlWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
  wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  wc.lpszClassName = name.c_str();
  RegisterClassExW(&wc);
  registered.insert(name);
}

TControl::TControl(TControl* parent, const TWindowParams& params) : parent_(parent) {
  if (parent_ != nullptr) {
    font_ = parent_->font_;
    color_ = parent_->color_;
  }
  ownClass_ = params.ClassName == nullptr;
  std::wstring className = !ownClass_ ? params.ClassName : params.OwnClass.empty() ? L"ZelvoranControl" : params.OwnClass;
  if (ownClass_) RegisterControlClass(className);
  DWORD style = params.Style;
  HWND parentWindow = params.OwnerWindow;
  id_ = 0;
  if (!params.TopLevel) {
    style |= WS_CHILD | WS_CLIPSIBLINGS | (params.Hidden ? 0 : WS_VISIBLE);
    parentWindow = parent_ != nullptr ? parent_->handle_ : nullptr;
    id_ = NextControlId();
    ControlIds()[id_] = this;
  }
  HWND hwnd = CreateWindowExW(params.ExStyle, className.c_str(), L"", style, 0, 0, params.Width, params.Height,
                              parentWindow, params.TopLevel ? nullptr : (HMENU)(UINT_PTR)id_,
                              GetModuleHandleW(nullptr), ownClass_ ? this : nullptr);
  if (hwnd == nullptr) {
    if (id_ != 0) ControlIds().erase(id_);
    throw std::runtime_error("Error creating window");
  }
  if (!ownClass_) {
    handle_ = hwnd;
    SetPropW(hwnd, kControlProp, this);
    oldProc_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)ControlWindowProc));
  }
  if (parent_ != nullptr) {
    parent_->children_.push_back(this);
    // Later controls lie above earlier ones, as in a layout drawn back to front.
    if (!params.TopLevel) SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  SendMessageW(hwnd, WM_SETFONT, (WPARAM)font_.Handle(), FALSE);
  ready_ = true;
}

TControl::~TControl() {
  deleting_ = true;
  ready_ = false;
  while (!children_.empty()) {
    TControl* child = children_.back();
    if (auto* form = dynamic_cast<TForm*>(child)) {
      form->Free();
    } else {
      delete child;
    }
  }
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  if (id_ != 0) ControlIds().erase(id_);
  if (handle_ != nullptr) {
    HWND hwnd = handle_;
    if (oldProc_ != nullptr) SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)oldProc_);
    RemovePropW(hwnd, kControlProp);
    handle_ = nullptr;
    DestroyWindow(hwnd);
  }
}

TControl* TControl::FromHandle(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return static_cast<TControl*>(GetPropW(hwnd, kControlProp));
}

LRESULT TControl::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  return GuardedResult<LRESULT>(0, [&] { return WndProc(msg, wp, lp); });
}

LRESULT TControl::DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) {
  if (handle_ == nullptr) return 0;
  if (oldProc_ != nullptr) return CallWindowProcW(oldProc_, handle_, msg, wp, lp);
  return DefWindowProcW(handle_, msg, wp, lp);
}

LRESULT TControl::Perform(UINT msg, WPARAM wp, LPARAM lp) {
  return handle_ != nullptr ? SendMessageW(handle_, msg, wp, lp) : 0;
}

static TMouseButton ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: return TMouseButton::Right;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: return TMouseButton::Middle;
    default: return TMouseButton::Left;
  }
}

LRESULT ReflectToChild(UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
  handled = false;
  TControl* child = nullptr;
  switch (msg) {
    case WM_COMMAND:
      if (lp != 0) child = TControl::FromHandle((HWND)lp);
      if (child != nullptr && child->ready_) {
        handled = true;
        child->CommandNotify(HIWORD(wp));
      }
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      child = TControl::FromHandle(hdr->hwndFrom);
      if (child != nullptr && child->ready_) {
        LRESULT result = 0;
        handled = child->Notify(hdr, result);
        return result;
      }
      return 0;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (dis->CtlType == ODT_MENU) return 0;
      auto it = ControlIds().find(dis->CtlID);
      if (it != ControlIds().end()) {
        handled = true;
        it->second->DrawItem(*dis);
        return TRUE;
      }
      return 0;
    }
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (mis->CtlType == ODT_MENU) return 0;
      auto it = ControlIds().find(mis->CtlID);
      if (it != ControlIds().end()) {
        handled = true;
        it->second->MeasureItem(*mis);
        return TRUE;
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      child = TControl::FromHandle((HWND)lp);
      if (child != nullptr && child->ready_) {
        HBRUSH brush = child->CtlColor((HDC)wp);
        if (brush != nullptr) {
          handled = true;
          return (LRESULT)brush;
        }
      }
      return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
      child = TControl::FromHandle((HWND)lp);
      if (child != nullptr && child->ready_) {
        handled = true;
        child->CommandNotify(LOWORD(wp));
      }
      return 0;
  }
  return 0;
}

LRESULT TControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_HSCROLL:
    case WM_VSCROLL: {
      bool handled = false;
      LRESULT r = ReflectToChild(msg, wp, lp, handled);
      if (handled) return r;
      break;
    }
    case WM_MOUSEMOVE: {
      if (!hovering_) {
        hovering_ = true;
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, handle_, 0};
        TrackMouseEvent(&tme);
        CMMouseEnter();
        if (handle_ == nullptr) return 0;
      }
      LRESULT r = DefaultHandler(msg, wp, lp);
      if (OnMouseMove) OnMouseMove(this, (short)LOWORD(lp), (short)HIWORD(lp));
      return r;
    }
    case WM_MOUSELEAVE:
      if (hovering_) {
        hovering_ = false;
        CMMouseLeave();
      }
      return DefaultHandler(msg, wp, lp);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
      LRESULT r = DefaultHandler(msg, wp, lp);
      if (ownClass_ && msg == WM_LBUTTONDOWN) pressed_ = true;
      if (OnMouseDown) OnMouseDown(this, ButtonOf(msg), (short)LOWORD(lp), (short)HIWORD(lp));
      return r;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      LRESULT r = DefaultHandler(msg, wp, lp);
      bool click = ownClass_ && msg == WM_LBUTTONUP && pressed_;
      if (msg == WM_LBUTTONUP) pressed_ = false;
      if (OnMouseUp) OnMouseUp(this, ButtonOf(msg), (short)LOWORD(lp), (short)HIWORD(lp));
      if (click && handle_ != nullptr) Click();
      return r;
    }
    case WM_CONTEXTMENU:
      if (OnContextMenu && (HWND)wp == handle_) {
        OnContextMenu(this, (short)LOWORD(lp), (short)HIWORD(lp));
        return 0;
      }
      break;
    case WM_LBUTTONDBLCLK: {
      LRESULT r = DefaultHandler(msg, wp, lp);
      if (ownClass_) pressed_ = true;
      if (OnDblClick) OnDblClick(this);
      return r;
    }
    case WM_SETCURSOR:
      if (cursor_ != TCursor::Default && LOWORD(lp) == HTCLIENT) {
        ::SetCursor(LoadCursorW(nullptr, cursor_ == TCursor::HandPoint ? (LPCWSTR)IDC_HAND : (LPCWSTR)IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_SIZE: {
      LRESULT r = DefaultHandler(msg, wp, lp);
      Realign();
      if (ownClass_) InvalidateRect(handle_, nullptr, FALSE);
      if (OnResize) OnResize(this);
      return r;
    }
    case WM_ERASEBKGND:
      if (ownClass_) return 1;
      break;
    case WM_PAINT:
      if (ownClass_) {
        BufferedPaint paint(handle_);
        PaintBackground(paint.mem);
        PaintContent(paint.mem);
        return 0;
      }
      break;
    case WM_PRINTCLIENT:
      if (ownClass_) {
        PaintBackground((HDC)wp);
        PaintContent((HDC)wp);
        return 0;
      }
      break;
    case WM_NCHITTEST:
      if (ownClass_ && parent_ != nullptr) return HTCLIENT;
      break;
  }
  return DefaultHandler(msg, wp, lp);
}

HBRUSH TControl::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(font_.Color));
  SetBkColor(dc, ColorToRGB(color_));
  return ColorBrush(color_);
}

void TControl::PaintBackground(HDC dc) {
  if (transparent_) {
    PaintParentBackground(dc);
    return;
  }
  if (color_ == clNone) return;
  RECT r;
  GetClientRect(handle_, &r);
  FillRect(dc, &r, ColorBrush(color_));
}

void TControl::PaintParentBackground(HDC dc) {
  RECT own;
  GetClientRect(handle_, &own);
  if (parent_ == nullptr || parent_->handle_ == nullptr) {
    FillRect(dc, &own, ColorBrush(clBtnFace));
    return;
  }
  POINT origin{0, 0};
  MapWindowPoints(handle_, parent_->handle_, &origin, 1);
  POINT old;
  GetViewportOrgEx(dc, &old);
  SetViewportOrgEx(dc, old.x - origin.x, old.y - origin.y, nullptr);
  parent_->PaintBackground(dc);
  RECT ownInParent{origin.x, origin.y, origin.x + own.right, origin.y + own.bottom};
  for (TControl* sibling : parent_->children_) {
    if (sibling == this) break;
    if (!sibling->PaintsIntoBackground() || !sibling->Visible() || sibling->handle_ == nullptr) continue;
    POINT at{0, 0};
    MapWindowPoints(sibling->handle_, parent_->handle_, &at, 1);
    RECT sr;
    GetClientRect(sibling->handle_, &sr);
    OffsetRect(&sr, at.x, at.y);
    RECT overlap;
    if (!IntersectRect(&overlap, &sr, &ownInParent)) continue;
    POINT inner;
    GetViewportOrgEx(dc, &inner);
    SetViewportOrgEx(dc, inner.x + at.x, inner.y + at.y, nullptr);
    sibling->PaintContent(dc);
    SetViewportOrgEx(dc, inner.x, inner.y, nullptr);
  }
  SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

// ---- geometry and state ----

static RECT BoundsInParent(HWND hwnd) {
  RECT r{};
  if (hwnd == nullptr) return r;
  GetWindowRect(hwnd, &r);
  HWND parent = (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) ? GetParent(hwnd) : nullptr;
  if (parent != nullptr) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int TControl::Left() const { return BoundsInParent(handle_).left; }
int TControl::Top() const { return BoundsInParent(handle_).top; }
int TControl::Width() const {
  RECT r = BoundsInParent(handle_);
  return r.right - r.left;
}
int TControl::Height() const {
  RECT r = BoundsInParent(handle_);
  return r.bottom - r.top;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (handle_ == nullptr) return;
  SetWindowPos(handle_, nullptr, left, top, std::max(0, width), std::max(0, height),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

int TControl::ClientWidth() const {
  RECT r{};
  if (handle_ != nullptr) GetClientRect(handle_, &r);
  return r.right;
}

int TControl::ClientHeight() const {
  RECT r{};
  if (handle_ != nullptr) GetClientRect(handle_, &r);
  return r.bottom;
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_ != nullptr) parent_->Realign();
}

void TControl::Realign() {
  if (handle_ == nullptr) return;
  RECT rest;
  GetClientRect(handle_, &rest);
  auto place = [](TControl* c, int l, int t, int w, int h) {
    if (c->Left() != l || c->Top() != t || c->Width() != w || c->Height() != h) c->SetBounds(l, t, w, h);
  };
  for (TControl* c : children_) {
    if (!c->Visible()) continue;
    switch (c->align_) {
      case TAlign::Top:
        place(c, rest.left, rest.top, rest.right - rest.left, c->Height());
        rest.top += c->Height();
        break;
      case TAlign::Bottom:
        place(c, rest.left, rest.bottom - c->Height(), rest.right - rest.left, c->Height());
        rest.bottom -= c->Height();
        break;
      case TAlign::Left:
        place(c, rest.left, rest.top, c->Width(), rest.bottom - rest.top);
        rest.left += c->Width();
        break;
      case TAlign::Right:
        place(c, rest.right - c->Width(), rest.top, c->Width(), rest.bottom - rest.top);
        rest.right -= c->Width();
        break;
      default:
        break;
    }
  }
  for (TControl* c : children_) {
    if (c->align_ == TAlign::Client && c->Visible())
      place(c, rest.left, rest.top, std::max(0L, rest.right - rest.left), std::max(0L, rest.bottom - rest.top));
  }
}

bool TControl::Visible() const {
  return handle_ != nullptr && (GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TControl::SetVisible(bool visible) {
  if (handle_ == nullptr || Visible() == visible) return;
  ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
  if (parent_ != nullptr && align_ != TAlign::None) parent_->Realign();
}

bool TControl::Enabled() const { return handle_ != nullptr && IsWindowEnabled(handle_); }

void TControl::SetEnabled(bool enabled) {
  if (handle_ == nullptr) return;
  EnableWindow(handle_, enabled);
  Invalidate();
}

void TControl::SetFont(const TFont& font) {
  font_ = font;
  FontChanged();
}

void TControl::SetFontColor(TColor color) {
  TFont f = font_;
  f.Color = color;
  SetFont(f);
}

void TControl::FontChanged() {
  if (handle_ == nullptr) return;
  SendMessageW(handle_, WM_SETFONT, (WPARAM)font_.Handle(), FALSE);
  Invalidate();
}

void TControl::SetColor(TColor color) {
  color_ = color;
  Invalidate();
}

std::string TControl::Caption() const {
  if (handle_ == nullptr) return "";
  int length = GetWindowTextLengthW(handle_);
  std::wstring text(length + 1, L'\0');
  int got = GetWindowTextW(handle_, text.data(), length + 1);
  text.resize(std::max(0, got));
  return Narrow(text);
}

void TControl::SetCaption(const std::string& text) {
  if (handle_ == nullptr) return;
  SetWindowTextW(handle_, Widen(text).c_str());
  if (ownClass_) Invalidate();
}

void TControl::Invalidate() {
  if (handle_ != nullptr) InvalidateRect(handle_, nullptr, TRUE);
}

void TControl::Repaint() {
  if (handle_ == nullptr) return;
  RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TControl::SetFocus() {
  if (handle_ != nullptr) ::SetFocus(handle_);
}

bool TControl::Focused() const { return handle_ != nullptr && GetFocus() == handle_; }

void TControl::BringToFront() {
  if (handle_ == nullptr) return;
  SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  if (parent_ != nullptr) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    siblings.push_back(this);
  }
}

bool TControl::TabStop() const {
  return handle_ != nullptr && (GetWindowLongW(handle_, GWL_STYLE) & WS_TABSTOP) != 0;
}

TForm* TControl::ParentForm() const {
  for (const TControl* c = this; c != nullptr; c = c->parent_) {
    if (auto* form = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(form);
  }
  return nullptr;
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

// ---- TPanel ----

TPanel::TPanel(TControl* parent) : TControl(parent, {.Style = WS_CLIPCHILDREN, .Width = 185, .Height = 41}) {}

void TPanel::PaintContent(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  if (Bevel) {
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
  }
  std::string text = Caption();
  if (text.empty()) return;
  TCanvas canvas(dc);
  canvas.Font = Font();
  UINT align = Alignment == TAlignment::Center ? DT_CENTER : Alignment == TAlignment::RightJustify ? DT_RIGHT : DT_LEFT;
  canvas.TextRect(r, text, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

// ---- TLabel ----

TLabel::TLabel(TControl* parent) : TControl(parent, {.Width = 65, .Height = 13}) { transparent_ = true; }

void TLabel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  Invalidate();
}

void TLabel::PaintContent(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  TCanvas canvas(dc);
  canvas.Font = Font();
  if (!Enabled()) canvas.Font.Color = clGrayText;
  UINT flags = DT_NOPREFIX;
  flags |= Alignment == TAlignment::Center ? DT_CENTER : Alignment == TAlignment::RightJustify ? DT_RIGHT : DT_LEFT;
  if (WordWrap) {
    flags |= DT_WORDBREAK;
  } else {
    flags |= DT_SINGLELINE;
    if (VerticalCenter) flags |= DT_VCENTER;
    if (PathEllipsis) flags |= DT_PATH_ELLIPSIS;
  }
  canvas.TextRect(r, Caption(), flags);
}

LRESULT TLabel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SETTEXT && AutoSize) {
    LRESULT r = TControl::WndProc(msg, wp, lp);
    HDC dc = GetDC(Handle());
    TCanvas canvas(dc);
    canvas.Font = Font();
    SIZE size = canvas.TextExtent(Caption());
    ReleaseDC(Handle(), dc);
    int left = Alignment == TAlignment::RightJustify ? Left() + Width() - size.cx : Left();
    SetWindowPos(Handle(), nullptr, left, Top(), size.cx, std::max<long>(Height(), size.cy),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Invalidate();
    return r;
  }
  return TControl::WndProc(msg, wp, lp);
}

void TLabel::CMMouseEnter() {
  if (OnMouseEnter) OnMouseEnter(this);
}

void TLabel::CMMouseLeave() {
  if (OnMouseLeave) OnMouseLeave(this);
}

// ---- TImage ----

TImage::TImage(TControl* parent) : TControl(parent, {.Width = 105, .Height = 105}) { transparent_ = true; }

void TImage::SetPicture(TBitmap&& picture) {
  picture_ = std::move(picture);
  if (AutoSize && !picture_.Empty()) SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
  Invalidate();
}

void TImage::AssignPicture(const TBitmap& picture) {
  picture_.Assign(picture);
  if (AutoSize && !picture_.Empty()) SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
  Invalidate();
}

void TImage::ClearPicture() {
  picture_.Clear();
  Invalidate();
}

void TImage::PaintContent(HDC dc) {
  if (picture_.Empty()) return;
  RECT r;
  GetClientRect(Handle(), &r);
  if (Stretch) {
    picture_.StretchDraw(dc, r);
  } else if (Center) {
    picture_.Draw(dc, (r.right - picture_.Width()) / 2, (r.bottom - picture_.Height()) / 2);
  } else {
    picture_.Draw(dc, 0, 0);
  }
}

// ---- TShape ----

TShape::TShape(TControl* parent) : TControl(parent, {.Width = 65, .Height = 65}) { transparent_ = true; }

void TShape::PaintContent(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  TCanvas canvas(dc);
  canvas.BrushColor = BrushColor;
  canvas.PenColor = PenColor;
  canvas.Rectangle(r);
}
