#include "DMUnit.h"

#include <shellapi.h>

#include "../framework/Application.h"
#include "../framework/Strings.h"
#include "../scan/PublicFunctionUnit.h"
#include "AboutUnit.h"
#include "MainUnit.h"

TDM* DM = nullptr;

TDM::TDM() : DataFolder(ExeDir()), VersionKey(PublicFunctionUnit::SettingsKey) {
  OpenMenu = MainPopupMenu.Add("Zelvoran", [this](TObject* s) { OpenMenuClick(s); });
  OpenMenu->Default = true;
  OpenMenu->ImageIndex = 0;
  Home1 = MainPopupMenu.Add("Zelvoran Home Page", [this](TObject* s) { Home1Click(s); });
  About1 = MainPopupMenu.Add("About", [this](TObject* s) { About1Click(s); });
  N2 = MainPopupMenu.AddSeparator();
  OnlineUpdate1 = MainPopupMenu.Add("Update online", [this](TObject* s) { OnlineUpdate1Click(s); });
  OnlineUpdate1->ImageIndex = 1;
  N1 = MainPopupMenu.AddSeparator();
  Exit1 = MainPopupMenu.Add("Exit", [this](TObject* s) { Exit1Click(s); });
  MainPopupMenu.Images = &PopupImageList;
  ExcludeMenu = PopupExcludeMenu.Add("Exclude and add key to ignore list");

  ScanTimer.SetInterval(20);
  ScanTimer.OnTimer = [this](TObject* s) { ScanTimerTimer(s); };
  ScanTimerEx.SetInterval(1000);
  ScanTimerEx.OnTimer = [this](TObject* s) { ScanTimerExTimer(s); };
  UpdateTimer.SetInterval(100);
  UpdateTimer.OnTimer = [this](TObject* s) { UpdateTimerTimer(s); };
  RunUpdater = [](const std::string& file, const std::string& folder) -> DWORD {
    std::wstring wideFile = Widen(file), wideFolder = Widen(folder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = Application.Handle;
    info.lpVerb = L"open";
    info.lpFile = wideFile.c_str();
    info.lpParameters = L"";
    info.lpDirectory = wideFolder.c_str();
    info.nShow = SW_SHOW;
    if (ShellExecuteExW(&info)) return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : (DWORD)ERROR_FILE_NOT_FOUND;
  };

  PopupImageList.AddStrip("PopupImageList");
  ScanImageList.AddStrip("ScanImageList");
  ExBtnImageList.AddStrip("ExBtnImageList");
  BackupImageList.AddStrip("BackupImageList");
  StatImageList.AddStrip("StatImageList");
  ProblemsImageList.AddStrip("ProblemsImageList");
  MinCloseImageList.AddStrip("MinCloseImageList");
  MainImageList.AddStrip("MainImageList");
  BackupStatImageList.AddStrip("BackupStatImageList");
  LelvelImageList.AddStrip("LelvelImageList");
  AboutImageList.AddStrip("AboutImageList");
  BackupTabImageList.AddStrip("BackupTabImageList");
}

// A start-up check still under way is let go: it writes nothing more.
TDM::~TDM() = default;

void TDM::DataModuleCreate() {
  PublicFunctionUnit::DetectPlatform();
  if (PublicFunctionUnit::MyRegistryInfo.CheckUpdate) CheckForUpdates(false);
}

void TDM::OpenMenuClick(TObject*) {
  if (Application.Handle == nullptr) return;
  ShowWindow(Application.Handle, SW_SHOW);
  if (IsIconic(Application.Handle)) ShowWindow(Application.Handle, SW_RESTORE);
  SetForegroundWindow(Application.Handle);
}

void TDM::Home1Click(TObject*) { PublicFunctionUnit::OpenUrl(1, PublicFunctionUnit::MyRegistryInfo.HomePage); }

void TDM::About1Click(TObject*) {
  TFormPtr<TAboutForm> about(new TAboutForm());   // owned by the application
  about->ShowModal();
}

void TDM::OnlineUpdate1Click(TObject*) { CheckForUpdates(true); }

void TDM::Exit1Click(TObject*) {
  if (ZelvoranMainForm != nullptr) ZelvoranMainForm->ExitProgram();
  else Application.Terminate();
}

void TDM::ScanTimerTimer(TObject*) {
  if (AnimFrame > MainUnit::StatAnimLast) AnimFrame = MainUnit::StatAnimFirst;
  if (ZelvoranMainForm == nullptr) return;
  if (ScanSection >= 1 && ScanSection <= MainUnit::SectionCount) {
    ZelvoranMainForm->ShowSectionImage(ScanSection - 1, MainUnit::StatNone);
    ZelvoranMainForm->ShowSectionImage(ScanSection - 1, AnimFrame);
  }
  ++AnimFrame;
  int n = MainUnit::TotalProblemCount();
  if (n > 0) {
    ZelvoranMainForm->ImageWarning->Show();
    ZelvoranMainForm->LabelWarning->SetCaption(Format("%d Problems Found", n));
    ZelvoranMainForm->LabelWarning->Show();
  } else {
    ZelvoranMainForm->ImageWarning->Hide();
    ZelvoranMainForm->LabelWarning->SetCaption("");
    ZelvoranMainForm->LabelWarning->Hide();
  }
}

void TDM::ScanTimerExTimer(TObject*) {
  if (ZelvoranMainForm != nullptr)
    ZelvoranMainForm->abScanTime->SetCaption(MainUnit::ElapsedClockText(Clock() - ScanStartTime));
}
