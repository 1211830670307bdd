#include "Forms.h"

#include <algorithm>
#include <set>

#include "Application.h"
#include "Exceptions.h"
#include "StdCtrls.h"
#include "Strings.h"

namespace {
std::set<TForm*>& LiveForms() {
  static std::set<TForm*> forms;
  return forms;
}

TModalHook& ModalHook() {
  static TModalHook hook;
  return hook;
}

bool IsLive(TForm* form) { return LiveForms().count(form) != 0; }
}  // namespace

void SetModalHook(TModalHook hook) { ModalHook() = std::move(hook); }
TModalHook GetModalHook() { return ModalHook(); }

TWindowParams TForm::WindowParams(const TFormParams& params) {
  TWindowParams wp;
  wp.OwnClass = Widen(params.ClassName);
  wp.Width = 320;
  wp.Height = 240;
  wp.ExStyle = params.ExtraExStyle;
  if (params.Host != nullptr) {
    wp.Style = WS_CLIPCHILDREN | params.ExtraStyle;
    wp.Hidden = true;
    return wp;
  }
  wp.TopLevel = true;
  wp.OwnerWindow = params.Owner != nullptr ? params.Owner->Handle() : Application.Handle;
  DWORD style = WS_CLIPCHILDREN;
  switch (params.Border) {
    case TBorderStyle::None:
      style |= WS_POPUP;
      break;
    case TBorderStyle::Single:
      style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
      break;
    case TBorderStyle::Dialog:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      wp.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
    case TBorderStyle::Sizeable:
      style |= WS_OVERLAPPEDWINDOW;
      break;
    case TBorderStyle::ToolWindow:
      style |= WS_POPUP | WS_CAPTION | WS_SYSMENU;
      wp.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  wp.Style = style | params.ExtraStyle;
  return wp;
}

TForm::TForm(const TFormParams& params)
    : TControl(params.Host, WindowParams(params)), owner_(params.Owner), host_(params.Host) {
  LiveForms().insert(this);
  if (owner_ != nullptr) owner_->ownedForms_.push_back(this);
  if (host_ == nullptr) {
    SetFont(TFont{});
    SetColor(clBtnFace);
  }
}

TForm::~TForm() {
  while (!ownedForms_.empty()) ownedForms_.back()->Free();
  LiveForms().erase(this);
  if (owner_ != nullptr) {
    auto& list = owner_->ownedForms_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  Application.RemoveForm(this);
}

void TForm::Free() {
  if (!destroyed_) {
    destroyed_ = true;
    if (OnDestroy) Guarded([&] { OnDestroy(this); });
  }
  delete this;
}

void TForm::Release() {
  if (releasePosted_) return;
  releasePosted_ = true;
  TForm* self = this;
  Application.Post([self] {
    if (IsLive(self)) self->Free();
  });
}

void TForm::DoCreate() {
  if (OnCreate) Guarded([&] { OnCreate(this); });
}

void TForm::SetClientSize(int width, int height) {
  if (Handle() == nullptr) return;
  if (IsChildForm()) {
    SetBounds(Left(), Top(), width, height);
    return;
  }
  RECT r{0, 0, width, height};
  AdjustWindowRectEx(&r, (DWORD)GetWindowLongW(Handle(), GWL_STYLE), FALSE, (DWORD)GetWindowLongW(Handle(), GWL_EXSTYLE));
  SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::CenterOnScreen() {
  if (Handle() == nullptr || IsChildForm()) return;
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + (work.right - work.left - Width()) / 2;
  int y = work.top + (work.bottom - work.top - Height()) / 2;
  if (Position == TPosition::OwnerCenter && owner_ != nullptr && owner_->Handle() != nullptr) {
    x = owner_->Left() + (owner_->Width() - Width()) / 2;
    y = owner_->Top() + (owner_->Height() - Height()) / 2;
  }
  SetWindowPos(Handle(), nullptr, std::max(0, x), std::max(0, y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetStayOnTop(bool onTop) {
  if (Handle() == nullptr || IsChildForm()) return;
  SetWindowPos(Handle(), onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool TForm::StayOnTop() const {
  return Handle() != nullptr && (GetWindowLongW(Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void TForm::SetVisible(bool visible) {
  if (Handle() == nullptr || Visible() == visible) return;
  if (visible && !shownOnce_) {
    shownOnce_ = true;
    if (Position != TPosition::Designed) CenterOnScreen();
  }
  if (IsChildForm()) {
    ShowWindow(Handle(), visible ? SW_SHOW : SW_HIDE);
  } else {
    ShowWindow(Handle(), visible ? SW_SHOWNORMAL : SW_HIDE);
  }
}

void TForm::BringToFrontAndActivate() {
  if (Handle() == nullptr) return;
  if (!Visible()) Show();
  SetForegroundWindow(Handle());
  SetActiveWindow(Handle());
}

void TForm::Close() {
  if (modal_) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
    return;
  }
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  TCloseAction action = TCloseAction::Hide;
  if (OnClose) OnClose(this, action);
  switch (action) {
    case TCloseAction::None:
      break;
    case TCloseAction::Hide:
      Hide();
      break;
    case TCloseAction::Free:
      Hide();
      Release();
      break;
    case TCloseAction::Minimize:
      ShowWindow(Handle(), SW_MINIMIZE);
      break;
  }
}

namespace {
struct DisabledWindows {
  HWND except;
  std::vector<HWND> list;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM lp) {
  auto* d = reinterpret_cast<DisabledWindows*>(lp);
  if (hwnd != d->except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
    EnableWindow(hwnd, FALSE);
    d->list.push_back(hwnd);
  }
  return TRUE;
}
}  // namespace

TModalResult TForm::ShowModal() {
  if (modal_ || Visible() || IsChildForm()) throw std::runtime_error("Cannot make a visible window modal");
  HWND previous = GetActiveWindow();
  DisabledWindows disabled{Handle(), {}};
  EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled));
  modal_ = true;
  ModalResult = mrNone;
  TForm* self = this;
  // Asks OnCloseQuery / OnClose whether the dialog may end with the result it has.
  auto mayEnd = [self]() {
    bool canClose = true;
    if (self->OnCloseQuery) Guarded([&] { self->OnCloseQuery(self, canClose); });
    TCloseAction action = TCloseAction::Hide;
    if (canClose && self->OnClose) Guarded([&] { self->OnClose(self, action); });
    if (!canClose || action == TCloseAction::None) {
      self->ModalResult = mrNone;
      return false;
    }
    return true;
  };
  Show();
  SetActiveWindow(Handle());
  TModalHook hook = ModalHook();
  if (hook) {
    Guarded([&] { hook(*self); });
    if (ModalResult != mrNone) mayEnd();
    if (ModalResult == mrNone) ModalResult = mrCancel;
  } else {
    for (;;) {
      if (ModalResult != mrNone && mayEnd()) break;
      if (Application.Terminated()) {
        if (ModalResult == mrNone) ModalResult = mrCancel;
        break;
      }
      Application.HandleMessage();
    }
  }
  for (HWND hwnd : disabled.list) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  }
  Hide();
  modal_ = false;
  if (previous != nullptr && IsWindow(previous)) SetActiveWindow(previous);
  return ModalResult;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Close();
      return 0;
    case WM_SHOWWINDOW: {
      LRESULT r = TControl::WndProc(msg, wp, lp);
      if (lp == 0) {
        if (wp && OnShow) OnShow(this);
        if (!wp && OnHide) OnHide(this);
      }
      return r;
    }
    case WM_ACTIVATE: {
      LRESULT r = TControl::WndProc(msg, wp, lp);
      if (LOWORD(wp) != WA_INACTIVE) {
        if (OnActivate) OnActivate(this);
      } else if (OnDeactivate) {
        OnDeactivate(this);
      }
      return r;
    }
    case WM_NCHITTEST:
      return DefaultHandler(msg, wp, lp);
  }
  return TControl::WndProc(msg, wp, lp);
}

void TForm::PaintContent(HDC dc) {
  if (!OnPaint) return;
  TCanvas canvas(dc);
  canvas.Font = Font();
  OnPaint(this, canvas);
}

bool TForm::Closing() const { return closing_ || Application.Terminated(); }

void TForm::FreeWhenIdle() {
  if (CanFreeNow()) {
    Free();
    return;
  }
  closing_ = true;
  Hide();
}

void TForm::BusyEnded() {
  if (closing_) Release();
}

// ---- keyboard ----

static void CollectTabStops(TControl* control, std::vector<TControl*>& out) {
  for (int i = 0; i < control->ControlCount(); ++i) {
    TControl* c = control->Controls(i);
    if (c->Handle() == nullptr || !IsWindowVisible(c->Handle()) || !IsWindowEnabled(c->Handle())) continue;
    if (c->TabStop()) out.push_back(c);
    CollectTabStops(c, out);
  }
}

void TForm::SelectNext(bool forward) {
  std::vector<TControl*> stops;
  CollectTabStops(this, stops);
  if (stops.empty()) return;
  HWND focus = GetFocus();
  int current = -1;
  for (int i = 0; i < (int)stops.size(); ++i) {
    if (stops[i]->Handle() == focus || IsChild(stops[i]->Handle(), focus)) current = i;
  }
  int n = (int)stops.size();
  int next = current < 0 ? 0 : (current + (forward ? 1 : n - 1)) % n;
  stops[next]->SetFocus();
  if (auto* edit = dynamic_cast<TEdit*>(stops[next])) {
    if (!dynamic_cast<TMemo*>(edit)) edit->SelectAll();
  }
}

static bool Usable(TControl* c) {
  return c != nullptr && c->Handle() != nullptr && IsWindowVisible(c->Handle()) && IsWindowEnabled(c->Handle());
}

bool TForm::HandleDialogKey(WPARAM key) {
  if (key == VK_RETURN) {
    HWND focus = GetFocus();
    TControl* focused = TControl::FromHandle(focus);
    if (auto* button = dynamic_cast<TButton*>(focused)) {
      button->Click();
      return true;
    }
    if (focus != nullptr && (GetWindowLongW(focus, GWL_STYLE) & ES_WANTRETURN)) return false;
    if (Usable(DefaultButton)) {
      DefaultButton->Click();
      return true;
    }
    return false;
  }
  if (key == VK_ESCAPE) {
    if (Usable(CancelButton)) {
      CancelButton->Click();
      return true;
    }
    if (modal_) {
      ModalResult = mrCancel;
      return true;
    }
  }
  return false;
}

// ---- busy guard ----

TBusyGuard::TBusyGuard(TForm* form) : form_(form) {
  if (form_ != nullptr) ++form_->busyDepth_;
}

TBusyGuard::~TBusyGuard() {
  if (form_ == nullptr || !IsLive(form_)) return;
  if (--form_->busyDepth_ == 0) form_->BusyEnded();
}
