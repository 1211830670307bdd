#include "Application.h"

#include <algorithm>

#include "Exceptions.h"
#include "Forms.h"
#include "Timer.h"

TApplication Application;

namespace {
constexpr UINT WM_RUN_POSTED = WM_APP + 0x101;

LRESULT CALLBACK UtilityProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
}  // namespace

void TApplication::Dispatch(MSG& msg) {
  if (msg.message == WM_KEYDOWN && (msg.wParam == VK_TAB || msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)) {
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (auto* form = dynamic_cast<TForm*>(TControl::FromHandle(root))) {
      bool used = false;
      Guarded([&] {
        if (msg.wParam == VK_TAB) {
          form->SelectNext(GetKeyState(VK_SHIFT) >= 0);
          used = true;
        } else {
          used = form->HandleDialogKey(msg.wParam);
        }
      });
      if (used) return;
    }
  }
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      return;
    }
    Dispatch(msg);
  }
}

void TApplication::HandleMessage() {
  MSG msg;
  BOOL r = GetMessageW(&msg, nullptr, 0, 0);
  if (r == 0 || r == -1) {
    terminated_ = true;
    return;
  }
  Dispatch(msg);
}

void TApplication::Run() {
  while (!terminated_) HandleMessage();
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::Post(std::function<void()> f) {
  posted_.push_back(std::move(f));
  PostMessageW(UtilityWindow(), WM_RUN_POSTED, 0, 0);
}

void TApplication::RunPosted() {
  if (posted_.empty()) return;
  std::function<void()> f = std::move(posted_.front());
  posted_.pop_front();
  Guarded(f);
}

void TApplication::AddForm(TForm* form) { forms_.push_back(form); }

void TApplication::RemoveForm(TForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
  if (MainForm == form) MainForm = nullptr;
  if (form != nullptr && Handle != nullptr && form->Handle() == Handle) Handle = nullptr;
}

void TApplication::FreeForms() {
  while (!forms_.empty()) forms_.back()->Free();
}

HWND TApplication::UtilityWindow() {
  if (utility_ != nullptr) return utility_;
  WNDCLASSEXW wc{sizeof wc};
  wc.lpfnWndProc = UtilityProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ZelvoranUtility";
  RegisterClassExW(&wc);
  utility_ = CreateWindowExW(0, L"ZelvoranUtility", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  return utility_;
}

namespace {
LRESULT CALLBACK UtilityProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_RUN_POSTED) {
    Application.RunPosted();
    return 0;
  }
  if (msg == WM_TIMER) {
    TTimer::Dispatch(wp);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace
