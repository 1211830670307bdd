// The application object: its title, the message loop and the nested message pump that
// long operations call inside their loops so that buttons, timers and the tray stay live.
#pragma once

#include <string>

#include <windows.h>

class TApplication {
 public:
  std::string Title = "Zelvoran";
  HWND Handle = nullptr;   // the main window, once there is one

  // Dispatches every pending message and returns. A WM_QUIT seen here ends the outer loop too.
  void ProcessMessages();
  // Runs the message loop until Terminate or WM_QUIT.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

 private:
  bool terminated_ = false;
};

extern TApplication Application;
