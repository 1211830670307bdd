// Forms: top-level windows (skinned borderless or dialog), modal dialogs and child forms
// hosted inside a panel.
//
// How to use: derive a form, build its controls in the constructor and call DoCreate() last:
//
//   class TMyForm : public TForm {
//    public:
//     explicit TMyForm(TForm* owner) : TForm({.Owner = owner, .Border = TBorderStyle::Dialog}) {
//       SetCaption("Zelvoran"); SetClientSize(417, 105);
//       OkBtn = new TButton(this); OkBtn->ModalResult = mrOk; ...
//       OnCreate = [this](TObject*) { ... };
//       DoCreate();
//     }
//   };
//
// Free a form with Free() (or hold it in a TFormPtr): Free raises OnDestroy, frees the forms it
// owns, then the form. A form may free itself from its own handler with Release().
// ShowModal runs the form's own loop until ModalResult is set; tests drive modal dialogs with
// TModalHookScope. TBusyGuard marks a form busy while one of its handlers pumps messages;
// FreeWhenIdle then waits until the handler has unwound.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = IDOK;
inline constexpr TModalResult mrCancel = IDCANCEL;
inline constexpr TModalResult mrAbort = IDABORT;
inline constexpr TModalResult mrRetry = IDRETRY;
inline constexpr TModalResult mrIgnore = IDIGNORE;
inline constexpr TModalResult mrYes = IDYES;
inline constexpr TModalResult mrNo = IDNO;

enum class TBorderStyle { None, Single, Dialog, Sizeable, ToolWindow };
enum class TCloseAction { None, Hide, Free, Minimize };
enum class TPosition { Designed, ScreenCenter, OwnerCenter };

struct TFormParams {
  class TForm* Owner = nullptr;          // frees this form when it is freed itself
  TControl* Host = nullptr;              // set: a borderless child form inside this control
  TBorderStyle Border = TBorderStyle::Sizeable;
  std::string ClassName = "TForm";       // the window class name
  DWORD ExtraStyle = 0;                  // style bits added to what the border gives
  DWORD ExtraExStyle = 0;
};

class TButton;

class TForm : public TControl {
 public:
  explicit TForm(const TFormParams& params);
  ~TForm() override;

  // Raises OnDestroy (once), frees the owned forms and then this form.
  void Free();
  // Frees the form once the current message has been handled (safe inside its own handlers).
  void Release();

  TForm* Owner() const { return owner_; }
  bool IsChildForm() const { return host_ != nullptr; }

  void SetClientSize(int width, int height);
  TPosition Position = TPosition::Designed;   // applied at the first show
  void CenterOnScreen();
  void SetStayOnTop(bool onTop);
  bool StayOnTop() const;

  void SetVisible(bool visible) override;   // OnShow on every show
  void Close();                             // OnCloseQuery, OnClose, then the close action
  void BringToFrontAndActivate();

  TModalResult ShowModal();
  TModalResult ModalResult = mrNone;
  bool Modal() const { return modal_; }

  TButton* DefaultButton = nullptr;   // Enter clicks it
  TButton* CancelButton = nullptr;    // Escape clicks it

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  std::function<void(TObject* sender, bool& canClose)> OnCloseQuery;
  std::function<void(TObject* sender, TCloseAction& action)> OnClose;
  TNotifyEvent OnDestroy;
  std::function<void(TObject* sender, TCanvas& canvas)> OnPaint;

  // Busy state: see TBusyGuard.
  bool Busy() const { return busyDepth_ > 0; }
  bool CanFreeNow() const { return busyDepth_ == 0; }
  // A free is waiting, or the program is ending: loops should stop, and nothing more is shown.
  bool Closing() const;
  // Frees now when not busy; otherwise hides the form, marks it closing and frees it as soon
  // as the last busy guard ends.
  void FreeWhenIdle();

  // Moves the keyboard focus to the next (or previous) tab stop of the form.
  void SelectNext(bool forward);
  // Enter and Escape: clicks the default or cancel button. True when the key was used.
  bool HandleDialogKey(WPARAM key);

 protected:
  // Call at the end of the derived constructor: raises OnCreate. An error in the handler is
  // reported and construction goes on.
  void DoCreate();
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  void PaintContent(HDC dc) override;

 private:
  friend class TBusyGuard;
  static TWindowParams WindowParams(const TFormParams& params);
  void BusyEnded();

  TForm* owner_ = nullptr;
  TControl* host_ = nullptr;
  std::vector<TForm*> ownedForms_;
  bool destroyed_ = false;
  bool modal_ = false;
  bool shownOnce_ = false;
  int busyDepth_ = 0;
  bool closing_ = false;
  bool releasePosted_ = false;
};

// Holds a form and frees it with Free().
struct TFormFree {
  void operator()(TForm* form) const {
    if (form != nullptr) form->Free();
  }
};
template <class T>
using TFormPtr = std::unique_ptr<T, TFormFree>;

// Marks a form busy for the life of the guard (put one in any handler that pumps messages).
class TBusyGuard {
 public:
  explicit TBusyGuard(TForm* form);
  ~TBusyGuard();
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  TForm* form_;
};

// Tests: called when a modal dialog has been shown; it sets controls and clicks buttons. If it
// returns without a ModalResult, the dialog ends with mrCancel. Without a hook, dialogs run.
using TModalHook = std::function<void(TForm& form)>;
void SetModalHook(TModalHook hook);
TModalHook GetModalHook();

class TModalHookScope {
 public:
  explicit TModalHookScope(TModalHook hook) : previous_(GetModalHook()) { SetModalHook(std::move(hook)); }
  ~TModalHookScope() { SetModalHook(previous_); }
  TModalHookScope(const TModalHookScope&) = delete;
  TModalHookScope& operator=(const TModalHookScope&) = delete;

 private:
  TModalHook previous_;
};
