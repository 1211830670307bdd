// The application object: its title, the message loop and the nested message pump that
// long operations call inside their loops so that buttons, timers and the tray stay live.
//
// How to use: Application.Title, Application.Handle (the main window once there is one),
// Run() in the program's main, ProcessMessages() inside long loops, Terminate() to end.
// Forms made with CreateForm are freed by FreeForms (owned forms before their owners).
// Post(f) runs f once the current message has been handled (behind the exception boundary).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

class TForm;

class TApplication {
 public:
  std::string Title = "Zelvoran";
  HWND Handle = nullptr;   // the main window, once there is one
  TForm* MainForm = nullptr;

  // Dispatches every pending message and returns. A WM_QUIT seen here ends the outer loop too.
  void ProcessMessages();
  // Waits for one message and dispatches it (modal loops).
  void HandleMessage();
  // Runs the message loop until Terminate or WM_QUIT.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Runs f after the current message, from the message loop.
  void Post(std::function<void()> f);
  void RunPosted();   // the framework's side of Post: runs the oldest posted call

  // Forms the application frees at the end (FreeForms), in reverse order of creation.
  template <class T, class... A>
  T* CreateForm(A&&... args) {
    T* form = new T(std::forward<A>(args)...);
    AddForm(form);
    return form;
  }
  void AddForm(TForm* form);
  void RemoveForm(TForm* form);
  void FreeForms();

  // A hidden window of the framework's own (timers, posted calls).
  HWND UtilityWindow();

 private:
  void Dispatch(MSG& msg);
  bool terminated_ = false;
  std::vector<TForm*> forms_;
  std::deque<std::function<void()>> posted_;
  HWND utility_ = nullptr;
};

extern TApplication Application;
