// The main window fixture every window test shares: the section table and every global the
// window reads put back after the test, a scan routine of the test's own, and a main window with
// its data module over the test's own ignore file and backup folder.
#pragma once

#include <string>
#include <vector>

#include "app/DMUnit.h"
#include "app/MainUnit.h"
#include "framework/Application.h"
#include "framework/ImageList.h"
#include "framework/ListView.h"
#include "framework/Strings.h"
#include "scan/PublicFunctionUnit.h"
#include "support/TestSupport.h"

// Puts routines of the test into the section table and restores the program's afterwards.
struct TableGuard {
  MainUnit::TSectionTable Saved = MainUnit::Sections();
  ~TableGuard() { MainUnit::Sections() = Saved; }
};

// A section scan that reports the given key paths with the value "v", passing over ignored ones
// as the scanners do; calls, when given, records the index of each section scanned.
inline MainUnit::TScanRoutine Reports(std::vector<std::string> paths, std::vector<int>* calls = nullptr) {
  return [paths, calls](int index, TCaptionTarget* item, TCaptionTarget* count, TIgnoreContents& ignore,
                        TRegistryContents& c) {
    if (calls != nullptr) calls->push_back(index);
    for (const std::string& p : paths) {
      if (PublicFunctionUnit::IsIgnored(ignore, MainUnit::Sections()[index].Caption, p, "v")) continue;
      if (item != nullptr) item->SetCaption(p);
      TContent& f = SectionCommon::NewFinding(c);
      f.KeyPath = p;
      f.ValueName = "v";
      f.KeyPathLine = " Key Path:" + p;
      f.ValueNameLine = " ValueName:v";
    }
    SectionCommon::ShowCount(count, c);
  };
}

// A section's own scanner pointed at a key of the test under HKEY_CURRENT_USER.
using TKeyScan = void (*)(int, TCaptionTarget*, TCaptionTarget*, TIgnoreContents&, TRegistryContents&,
                          const std::string&, HKEY);
inline MainUnit::TScanRoutine ScanAt(TKeyScan scan, const std::string& keyPath) {
  return [=](int index, TCaptionTarget* item, TCaptionTarget* count, TIgnoreContents& ignore, TRegistryContents& c) {
    scan(index, item, count, ignore, c, keyPath, HKEY_CURRENT_USER);
  };
}

// The state image a list shows on a row (owner-data rows ask the page for it).
inline int ShownTick(const TListView& list, int row) {
  TListItem shown;
  list.GetRow(row, shown);
  return shown.StateIndex;
}

// True when the picture shows exactly image `index` of the list.
inline bool ShowsImage(const TImage* image, const TImageList& list, int index) {
  TBitmap expected;
  list.GetBitmap(index, expected);
  const TBitmap& shown = image->Picture();
  if (shown.Width() != expected.Width() || shown.Height() != expected.Height()) return false;
  for (int y = 0; y < shown.Height(); ++y)
    for (int x = 0; x < shown.Width(); ++x)
      if (shown.Pixel(x, y) != expected.Pixel(x, y)) return false;
  return true;
}

// The button shows picture `normal` of the list, `hovered` while the mouse is over it.
inline void ExpectHoverPictures(TImage* button, const TImageList& list, int normal, int hovered) {
  EXPECT_TRUE(ShowsImage(button, list, normal)) << button->Name;
  button->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_TRUE(ShowsImage(button, list, hovered)) << button->Name;
  button->Perform(WM_MOUSELEAVE);
  EXPECT_TRUE(ShowsImage(button, list, normal)) << button->Name;
}

// Create builds the window as start-up does (its first activation is the test's to trigger);
// CreateAndShow also shows it.
struct MainWindowHost {
  TableGuard guard;
  testing_support::TKeep<PublicFunctionUnit::TMyRegistryInfo> info{PublicFunctionUnit::MyRegistryInfo};
  testing_support::TKeep<decltype(PublicFunctionUnit::ScanState)> state{PublicFunctionUnit::ScanState};
  testing_support::TKeep<uint8_t> platform{PublicFunctionUnit::PlatformKind};
  testing_support::TKeep<std::string> commandLine{PublicFunctionUnit::CommandLineParam};
  testing_support::TKeep<std::string> repairBackupFile{MainUnit::RepairBackupFile};
  testing_support::TKeep<std::function<void()>> fullBackupOffer{MainUnit::ShowFirstFullBackup};
  testing_support::TKeep<std::function<void()>> uploadOffer{MainUnit::ShowBackupUpload};
  testing_support::TKeep<std::function<void()>> options{MainUnit::ShowOptions};
  testing_support::TKeep<std::function<void(DWORD)>> delay{MainUnit::Delay};
  testing_support::TKeep<HWND> applicationWindow{Application.Handle};
  testing_support::TempFolder folder;
  TDM dm;
  TZelvoranMainForm* form = nullptr;

  MainWindowHost() {
    testing_support::MessageBoxes().Clear();
    PublicFunctionUnit::MyRegistryInfo.SelectAll = true;
    PublicFunctionUnit::MyRegistryInfo.CheckUpdate = false;
    PublicFunctionUnit::MyRegistryInfo.OneTime = false;
    PublicFunctionUnit::MyRegistryInfo.NotAutoBackup = false;
    PublicFunctionUnit::CommandLineParam.clear();
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
    PublicFunctionUnit::SetIgnoreFileName(folder.Path() + "ZelvoranIgnores.dat");
    MainUnit::RepairBackupFile.clear();
    for (MainUnit::TSection& s : MainUnit::Sections()) s.Scan = Reports({});
    DM = &dm;
  }
  ~MainWindowHost() {
    if (form != nullptr) form->Free();
    DM = nullptr;
    PublicFunctionUnit::SetIgnoreFileName("");
  }
  std::string RepairDir() const { return folder.Path() + "RepairBackup\\"; }
  void Create() {
    form = new TZelvoranMainForm();
    form->BackupFolder = RepairDir();
    Application.Handle = form->Handle();
  }
  void CreateAndShow() {
    Create();
    form->Show();
    Application.ProcessMessages();
  }
};
