// Zelvoran's start-up: one instance only, the settings, the data module with its update check,
// the one elevated relaunch where user account control asks for it, then the main window and
// the message loop until "Exit".
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "../framework/Application.h"
#include "../framework/Exceptions.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "MainUnit.h"
#include "ftpUpFileDialogUnit.h"
#include "ZelvoranStartup.h"

namespace {
DWORD WindowsMajorVersion() {
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof vi;
  return GetVersionExW(&vi) ? vi.dwMajorVersion : 0;
}
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  std::string parameter;
  PublicFunctionUnit::GetCommandLineParam(parameter);
  if (HWND running = Zelvoran::RunningInstance();
      running != nullptr && Zelvoran::HandOverToRunningInstance(running, parameter))
    return 0;

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  Application.Title = "Zelvoran";
  Guarded([] { PublicFunctionUnit::LoadSettings(); });

  // The data module starts the update check, which runs beside the program: the window never
  // waits for it, and its question comes once the program is free.
  TDM dataModule;
  DM = &dataModule;
  Guarded([&] { dataModule.DataModuleCreate(); });

  bool relaunched = GuardedResult(false, [] {
    return Zelvoran::RelaunchElevatedIfNeeded(
        WindowsMajorVersion(), Narrow(GetCommandLineW()), [](const std::string& file, const std::string& params) {
          PublicFunctionUnit::RunElevated(file, "runas", "", params);
        });
  });
  if (relaunched) return 0;

  PublicFunctionUnit::CommandLineParam = parameter;
  auto* mainForm = Application.CreateForm<TZelvoranMainForm>();
  Application.MainForm = mainForm;
  Application.Handle = mainForm->Handle();
  mainForm->Show();
  Application.Run();
  Application.FreeForms();
  ftpUpFileDialogUnit::WaitForUploads();
  DM = nullptr;
  PublicFunctionUnit::ReleaseTaskScheduler();
  CoUninitialize();
  return 0;
}
