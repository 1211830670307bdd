// What the main window tests share: the section table put back after each test, a scan routine
// of the test's own, and a main window with its data module over the test's own ignore file.
#pragma once

#include <string>
#include <vector>

#include "app/DMUnit.h"
#include "app/MainUnit.h"
#include "framework/Application.h"
#include "framework/StringList.h"
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

// Holds a file open with no sharing, as another program may: it can be neither read nor written.
struct TLockedFile {
  HANDLE Handle;
  explicit TLockedFile(const std::string& fileName)
      : Handle(CreateFileW(Widen(fileName).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~TLockedFile() { CloseHandle(Handle); }
};

// The data module and the settings a test's main window runs with; Create builds the window as
// start-up does (its first activation is the test's to trigger).
struct MainWindowHost {
  TableGuard guard;
  testing_support::TempFolder folder;
  TDM dm;
  TZelvoranMainForm* form = nullptr;
  uint8_t savedPlatform = PublicFunctionUnit::PlatformKind;

  MainWindowHost() {
    testing_support::MessageBoxes().Clear();
    PublicFunctionUnit::MyRegistryInfo.SelectAll = true;
    PublicFunctionUnit::MyRegistryInfo.CheckUpdate = false;
    PublicFunctionUnit::CommandLineParam.clear();
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
    PublicFunctionUnit::SetIgnoreFileName(folder.Path() + "ZelvoranIgnores.dat");
    for (MainUnit::TSection& s : MainUnit::Sections()) s.Scan = Reports({});
    DM = &dm;
  }
  ~MainWindowHost() {
    if (form != nullptr) form->Free();
    DM = nullptr;
    PublicFunctionUnit::CommandLineParam.clear();
    PublicFunctionUnit::SetIgnoreFileName("");
    PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
    PublicFunctionUnit::PlatformKind = savedPlatform;
  }
  void Create() {
    form = new TZelvoranMainForm();
    Application.Handle = form->Handle();
  }
};
