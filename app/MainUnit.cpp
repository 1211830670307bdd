// The main window's frame: its layout, life, pages, tool hosting, title buttons and tray icon.
#include "MainUnit.h"

#include <shellapi.h>

#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/Exceptions.h"
#include "../framework/ImageList.h"
#include "../framework/Pictures.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "OptionUnit.h"
#include "RegBackupUnit.h"

TZelvoranMainForm* ZelvoranMainForm = nullptr;

namespace MainUnit {
std::function<void()> ShowOptions = OptionUnit::ShowPreferences;
std::function<void(DWORD)> Delay = PublicFunctionUnit::Delay;
}

using namespace MainUnit;
using PublicFunctionUnit::MyRegistryInfo;

namespace {

const TColor kPageColor = 0xFAF0E8;   // the background's light blue below the pages
const TColor kBarColor = 0xF7EBDD;    // the bottom bar of the scan page

// A part of a picture as a picture of its own.
TBitmap Slice(const TBitmap& source, int left, int top, int width, int height) {
  TBitmap part(width, height, kPageColor);
  if (source.Empty()) return part;
  TBitmapDC from(source), to(part);
  BitBlt(to.Handle(), 0, 0, width, height, from.Handle(), left, top, SRCCOPY);
  return part;
}

const char* const kToolCaptions[ToolCount] = {
    "Startup Manager",  "Uninstaller Manager", "Junk File Cleaner", "Internet Explorer Restorer",
    "BHO Manager",      "History Cleaner",     "System Optimizer",  "Block ActiveX",
    "Tweak Memory",     "System Restore Point", "Register ActiveX", "Error Utilities"};
const char* const kToolLabels[ToolCount] = {
    "abStartupManageBtn", "abAddRemoveBtn", "abSystemCleanBtn",  "BrowserRepairBtn",
    "IEPluginsBtn",       "ClearHistoryBtn", "abOptimizeBtn",    "abProtectPCBtn",
    "abTweakRAMBtn",      "abSysRestoreBtn", "abRegisterActiveXBtn", "abServiceOptimizeBtn"};
TToolPage* (*const kToolPages[ToolCount])(TControl*) = {
    NewStartupManagerPage,  NewUninstallerManagerPage, NewJunkFileCleanerPage, NewBrowserRestorePage,
    NewBrowserPluginsPage,  NewHistoryCleanerPage,     NewSystemOptimizerPage, NewActiveXBlockerPage,
    NewMemoryOptimizerPage, NewRestorePointsPage,      NewActiveXRegisterPage, NewErrorUtilitiesPage};
const int kRestorePointTool = 9;
const char* const kRestorePointRefused = "System Restore Point for Windows 2000 and XP!";

}  // namespace

TZelvoranMainForm::TZelvoranMainForm()
    : TForm({.Border = TBorderStyle::None,
             .ClassName = "TZelvoranMainForm",
             .ExtraStyle = WS_BORDER | 0x00000008 | WS_MINIMIZEBOX | WS_SYSMENU,
             .ExtraExStyle = WS_EX_APPWINDOW}) {
  ZelvoranMainForm = this;
  SetCaption("Zelvoran");
  SetClientSize(650, 460);
  Position = TPosition::ScreenCenter;
  for (int i = 0; i < ToolCount; ++i) {
    Tools[i].Caption = kToolCaptions[i];
    Tools[i].LabelName = kToolLabels[i];
    Tools[i].Create = kToolPages[i];
  }
  BuildFrame();
  OnCreate = [this](TObject*) { FormCreate(); };
  // The first show prepares the scan page; showing the window again from the tray keeps the page
  // and the ticks as the user left them.
  OnShow = [this](TObject*) {
    if (shownOnce_) return;
    shownOnce_ = true;
    FormShow();
  };
  OnActivate = [this](TObject*) { FormActivate(); };
  OnDestroy = [this](TObject*) { FormDestroy(); };
  requestedScanTimer_.SetInterval(500);
  requestedScanTimer_.OnTimer = [this](TObject*) { StartRequestedScan(); };
  OnClose = [this](TObject*, TCloseAction& action) {
    action = TCloseAction::None;   // the window only goes to the tray
    RepairGrid->SetItemIndex(-1);
    ShowWindow(Handle(), SW_MINIMIZE);
    ShowWindow(Handle(), SW_HIDE);
  };
  DoCreate();
}

TZelvoranMainForm::~TZelvoranMainForm() {
  if (ZelvoranMainForm == this) ZelvoranMainForm = nullptr;
}

// ---- layout ----

TImageEx* TZelvoranMainForm::NewButton(TControl* parent, const char* name, int left, int top, int width,
                                       int height) {
  auto* button = new TImageEx(parent);
  button->Name = name;
  button->SetBounds(left, top, width, height);
  button->SetCursor(TCursor::HandPoint);
  return button;
}

void TZelvoranMainForm::BuildFrame() {
  SetColor(kPageColor);
  TBitmap background;
  LoadJpegResource("MAIN_BACKGROUND", background);

  // The title picture: the background's band, to drag the window by.
  BackImage = new TImage(this);
  BackImage->Name = "BackImage";
  BackImage->SetBounds(0, 0, 650, 87);
  BackImage->SetPicture(Slice(background, 0, 0, 650, 87));
  BackImage->OnMouseDown = [this](TObject* s, TMouseButton b, int x, int y) { BackImageMouseDown(s, b, x, y); };

  HelpBtn = NewPictureButton(this, "HelpBtn", 486, 34, 53, 22, DM->ExBtnImageList, 0,
                             [this](TObject* s) { HelpBtnClick(s); });
  OptionsBtn = NewPictureButton(this, "OptionsBtn", 538, 34, 53, 22, DM->ExBtnImageList, 2,
                                [this](TObject* s) { OptionsBtnClick(s); });
  AboutBtn = NewPictureButton(this, "AboutBtn", 598, 34, 53, 22, DM->ExBtnImageList, 4,
                              [this](TObject* s) { AboutBtnClick(s); });

  // The window buttons side by side in the top right corner.
  wsMinimizedBtn = NewPictureButton(this, "wsMinimizedBtn", 650 - 6 - 21 - 2 - 21, 6, 21, 11, DM->MinCloseImageList, 0,
                                    [this](TObject* s) { wsMinimizedBtnClick(s); });
  wsCloseBtn = NewPictureButton(this, "wsCloseBtn", 650 - 6 - 21, 6, 21, 11, DM->MinCloseImageList, 2,
                                [this](TObject* s) { wsCloseBtnClick(s); });
  wsMinimizedBtn->Hint = "Minimize";
  wsCloseBtn->Hint = "Hide";

  // The left column: page buttons (their pictures follow the page shown) and the home page.
  LeftImage = new TImage(this);
  LeftImage->Name = "LeftImage";
  LeftImage->SetBounds(0, 87, 153, 373);
  LeftImage->SetPicture(Slice(background, 0, 87, 153, 373));
  ScanBtn = NewButton(this, "ScanBtn", 8, 87 + 40, 136, 33);
  BackupBtn = NewButton(this, "BackupBtn", 8, 87 + 90, 136, 33);
  AdvanceBtn = NewButton(this, "AdvanceBtn", 8, 87 + 140, 136, 33);
  ScanBtn->OnClick = [this](TObject* s) { ScanBtnClick(s); };
  BackupBtn->OnClick = [this](TObject* s) { BackupBtnClick(s); };
  AdvanceBtn->OnClick = [this](TObject* s) { AdvanceBtnClick(s); };
  HomeBtn = NewPictureButton(this, "HomeBtn", 0, 460 - 60, 153, 60, DM->AboutImageList, 0,
                             [this](TObject* s) { HomeBtnClick(s); });

  MainNotebook = new TNotebook(this);
  MainNotebook->SetBounds(153, 87, 497, 368);
  TPanel* scanSheet = MainNotebook->AddPage("ScanSheet");
  TPanel* backupSheet = MainNotebook->AddPage("BackupSheet");
  TPanel* advancedSheet = MainNotebook->AddPage("AdvancedSheet");
  for (TPanel* p : {scanSheet, backupSheet, advancedSheet}) p->SetColor(clWhite);

  ScanNotebook = new TNotebook(scanSheet);
  ScanNotebook->SetBounds(0, 0, 497, 323);
  TPanel* sections = ScanNotebook->AddPage("ScanSections");
  TPanel* repair = ScanNotebook->AddPage("Repair");
  TPanel* finish = ScanNotebook->AddPage("Finish");
  for (TPanel* p : {sections, repair, finish}) p->SetColor(clWhite);
  BuildScanPage(sections);
  BuildResultsPage(repair);
  BuildFinishPage(finish);
  ScanOutcomePanelEx = new TPanel(scanSheet);
  ScanOutcomePanelEx->SetBounds(0, 323, 497, 45);
  ScanOutcomePanelEx->SetColor(kBarColor);
  BuildBottomBar(ScanOutcomePanelEx);

  BackupPanel = new TPanel(backupSheet);
  BackupPanel->SetBounds(0, 0, 497, 368);
  BackupPanel->SetColor(clWhite);
  AdvancePanel = new TPanel(advancedSheet);
  AdvancePanel->SetBounds(0, 0, 497, 368);
  AdvancePanel->SetColor(clWhite);
  BuildAdvancedPage(AdvancePanel);
}

void TZelvoranMainForm::BuildScanPage(TPanel* page) {
  auto* heading = new TLabel(page);
  heading->SetBounds(12, 6, 300, 16);
  heading->SetFont({.Bold = true, .Color = clNavy});
  heading->SetCaption("Registry Sections");
  for (int i = 0; i < SectionCount; ++i) {
    int top = 26 + i * 17;
    auto* pic = new TImage(page);
    pic->Name = Format("picSection%02d", i + 1);
    pic->SetBounds(12, top, 16, 16);
    pic->SetCursor(TCursor::HandPoint);
    pic->OnClick = [this](TObject* s) { picSection01Click(s); };
    SectionImages[i] = pic;
    auto* label = new TLabel(page);
    label->Name = Format("abSection%02d", i + 1);
    label->SetBounds(34, top + 1, 190, 15);
    label->SetCaption(Sections()[i].Caption);
    label->SetCursor(TCursor::HandPoint);
    label->OnClick = [this, pic](TObject*) { picSection01Click(pic); };
    SectionLabels[i] = label;
    auto* count = new TLabel(page);
    count->Name = Format("abItemCount%02d", i + 1);
    count->SetBounds(226, top + 1, 50, 15);
    count->SetFontColor(clRed);
    ItemCountLabels[i] = count;
  }

  LabelHint = new TLabel(page);
  LabelHint->SetBounds(290, 40, 190, 80);
  LabelHint->WordWrap = true;
  LabelHint->SetFontColor(clNavy);
  LabelHint->SetCaption("Please select the sections in Windows registry which you want to examine for errors.");

  spShape = new TShape(page);
  spShape->SetBounds(282, 26, 1, 280);
  spShape->PenColor = 0xD0D0D0;
  spLabel = new TLabel(page);
  spLabel->SetBounds(290, 28, 190, 15);
  spLabel->SetFont({.Bold = true});
  spLabel->SetCaption("Scanning entry:");
  ScanOutcomePanel = new TPanel(page);
  ScanOutcomePanel->SetBounds(290, 46, 196, 52);
  ScanOutcomePanel->SetColor(clWhite);
  ScanOutcomePanel->Alignment = TAlignment::LeftJustify;
  abScanTimeTitle = new TLabel(page);
  abScanTimeTitle->SetBounds(290, 110, 90, 15);
  abScanTimeTitle->SetCaption("Elapsed time:");
  abScanTime = new TLabel(page);
  abScanTime->SetBounds(384, 110, 90, 15);
  abItemsProcessed = new TLabel(page);
  abItemsProcessed->SetBounds(290, 140, 196, 15);
  pbItemsProcessed = new TProgressBar(page);
  pbItemsProcessed->SetBounds(290, 158, 196, 14);
  panTotalProcess = new TLabel(page);
  panTotalProcess->SetBounds(290, 190, 196, 15);
  pbTotalProcess = new TProgressBar(page);
  pbTotalProcess->SetBounds(290, 208, 196, 14);
}

void TZelvoranMainForm::BuildBottomBar(TPanel* bar) {
  cbSelectAll = new TCheckBox(bar);
  cbSelectAll->SetBounds(12, 14, 16, 16);
  cbSelectAll->OnClick = [this](TObject* s) { cbSelectAllClick(s); };
  abSelectAll = new TLabel(bar);
  abSelectAll->SetBounds(32, 15, 70, 15);
  abSelectAll->SetCaption("Select All");
  abSelectAll->SetCursor(TCursor::HandPoint);
  abSelectAll->OnClick = [this](TObject* s) { cbSelectAllClick(s); };

  WarningPanel = new TPanel(bar);
  WarningPanel->SetBounds(8, 8, 200, 28);
  WarningPanel->SetColor(kBarColor);
  ImageWarning = new TImage(WarningPanel);
  ImageWarning->SetBounds(2, 6, 16, 16);
  ShowImage(ImageWarning, DM->StatImageList, StatFound);
  LabelWarning = new TLabel(WarningPanel);
  LabelWarning->SetBounds(24, 7, 170, 15);
  LabelWarning->SetFont({.Bold = true, .Color = clRed});

  // The four buttons share one place; the scan's phase shows one of them.
  auto button = [bar](const char* name, int picture, TNotifyEvent click) {
    return NewPictureButton(bar, name, 497 - 146, 6, 136, 33, DM->ScanImageList, picture, std::move(click));
  };
  ScanNowBtn = button("ScanNowBtn", 0, [this](TObject* s) { ScanNowBtnClick(s); });
  AbortScanBtn = button("AbortScanBtn", 2, [this](TObject* s) { AbortScanBtnClick(s); });
  RepairBtn = button("RepairBtn", 4, [this](TObject* s) { RepairBtnClick(s); });
  FinishBtn = button("FinishBtn", 6, [this](TObject* s) { FinishBtnClick(s); });
}

void TZelvoranMainForm::BuildFinishPage(TPanel* page) {
  FinishListView = new TListView(page, {.OwnerData = true});
  FinishListView->SetBounds(4, 4, 489, 315);
  FinishListView->AddColumn("Section Name", 350);
  FinishListView->AddColumn("Status", 120, TAlignment::Center);
  FinishListView->OnData = [](TListView*, int index, TListItem& item) {
    if (RepairLog == nullptr || index >= RepairLog->Count()) return;
    item.Caption = RepairLog->GetItem(index).Content.KeyPath;
    item.SubItems = {RepairLog->GetItem(index).Content.Status};
  };
  // A repaired line's status is green; a line that was left (failed, changed since the scan,
  // excluded, ...) shows its status in red.
  FinishListView->OnCustomDrawSubItem = [](TListView*, int index, int column, TColor& color) {
    bool repaired = RepairLog != nullptr && index >= 0 && index < RepairLog->Count() &&
                    RepairLog->GetItem(index).Content.Status == SectionCommon::RepairedText;
    color = column != 1 ? clBlack : repaired ? clGreen : clRed;
  };
}

void TZelvoranMainForm::BuildAdvancedPage(TPanel* page) {
  // Icons in the order of their numbers (ImageEx1..12) on a grid of four columns; their pictures
  // are in that order too.
  static const int kIconOfTool[ToolCount] = {10, 1, 7, 6, 3, 4, 8, 2, 12, 11, 9, 5};
  TImageList icons(32, 32);
  icons.AddStrip("TOOLICONS");
  for (int tool = 0; tool < ToolCount; ++tool) {
    int slot = kIconOfTool[tool] - 1;
    int left = 14 + (slot % 4) * 120, top = 30 + (slot / 4) * 105;
    auto* icon = NewButton(page, Format("ImageEx%d", kIconOfTool[tool]).c_str(), left + 42, top + 4, 32, 32);
    ShowImage(icon, icons, slot);
    auto* label = new TLabel(page);
    label->Name = Tools[tool].LabelName;
    label->SetBounds(left, top + 44, 116, 32);
    label->Alignment = TAlignment::Center;
    label->WordWrap = true;
    label->SetCaption(Tools[tool].Caption);
    label->SetFontColor(clBlack);
    label->SetCursor(TCursor::HandPoint);
    icon->OnMouseEnter = label->OnMouseEnter = [this](TObject* s) { ImageEx1MouseEnter(s); };
    icon->OnMouseLeave = label->OnMouseLeave = [this](TObject* s) { ImageEx1MouseLeave(s); };
    icon->OnClick = [this, tool](TObject* s) { LaunchTool(tool, s); };
    label->OnClick = [this, tool](TObject* s) { LaunchTool(tool, s); };
    ToolIcons[tool] = icon;
    ToolLabels[tool] = label;
    if (tool == kRestorePointTool) {
      abOnlyXPMsg = new TLabel(page);
      abOnlyXPMsg->SetBounds(left - 20, top + 76, 156, 15);
      abOnlyXPMsg->Alignment = TAlignment::Center;
      abOnlyXPMsg->SetFontColor(clGray);
      abOnlyXPMsg->SetCaption("(for Windows 2000 and XP)");
    }
  }
}

// ---- life ----

void TZelvoranMainForm::FormCreate() {
  FirstActivate = true;
  SectionResults = new TSectionResults();
  RepairLog = new TRepairContents();
  IgnoreList = new TIgnoreContents();
  for (TImage* pic : SectionImages) {
    ShowImage(pic, DM->StatImageList, StatTicked);
    pic->Tag = 1;
  }
  MainNotebook->SetPageIndex(0);
  ScanNotebook->SetPageIndex(0);
  DM->ExcludeMenu->OnClick = [this](TObject* s) { ExcludeMenuClick(s); };
  SetScanPhase(0);
  PublicFunctionUnit::NonFixedDrives.Clear();
  PublicFunctionUnit::ListNonFixedDrives(PublicFunctionUnit::NonFixedDrives);
  PublicFunctionUnit::ItemsProcessedBar = pbItemsProcessed;
  PublicFunctionUnit::ItemsProcessedLabel = abItemsProcessed;
  AddTrayIcon();
}

void TZelvoranMainForm::FormShow() {
  cbSelectAll->SetChecked(true);
  ScanBtnClick(ScanBtn);
}

void TZelvoranMainForm::FormActivate() {
  if (!FirstActivate) return;
  FirstActivate = false;
  if (Trim(PublicFunctionUnit::CommandLineParam).empty()) return;
  startingRequestedScan_ = true;   // nothing unasked comes in the pause before the scan
  MainUnit::Delay(1000);
  startingRequestedScan_ = false;
  ScanNowBtnClick(ScanNowBtn);
}

void TZelvoranMainForm::FormDestroy() {
  requestedScanTimer_.SetEnabled(false);
  FreeTools();
  PublicFunctionUnit::ItemsProcessedBar = nullptr;
  PublicFunctionUnit::ItemsProcessedLabel = nullptr;
  if (DM != nullptr) {
    DM->ScanTimer.SetEnabled(false);
    DM->ScanTimerEx.SetEnabled(false);
    DM->ExcludeMenu->OnClick = nullptr;
  }
  delete SectionResults;
  SectionResults = nullptr;
  delete RepairLog;
  RepairLog = nullptr;
  delete IgnoreList;
  IgnoreList = nullptr;
  trayIcon_.reset();
}

void TZelvoranMainForm::HelpBtnClick(TObject*) {
  std::string help = ExeDir() + "Zelvoran Help.chm";
  if (FileExists(help))
    ShellExecuteW(Application.Handle, L"open", Widen(help).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  else
    PublicFunctionUnit::OpenUrl(1, MyRegistryInfo.HelpURL);
}

// ---- guards ----

bool TZelvoranMainForm::ScanRunning() const { return DM->ScanTimer.Enabled(); }

bool TZelvoranMainForm::ToolBusy() const {
  for (const TToolSlot& t : Tools)
    if (t.Window != nullptr && t.Window->HoldsWindow()) return true;
  return false;
}

bool TZelvoranMainForm::LaunchersBlocked() const {
  for (const TToolSlot& t : Tools)
    if (t.Window != nullptr && t.Window->BlocksLaunchers()) return true;
  return false;
}

void TZelvoranMainForm::StopToolsForExit() {
  for (TToolSlot& t : Tools)
    if (t.Window != nullptr) t.Window->StopForExit();
}

void TZelvoranMainForm::ExitProgram() {
  // Whatever runs is asked to stop at its next step; the message loop ends once the running
  // handler has unwound (every loop also stops when it sees the program ending), so the program
  // ends without waiting for the rest of the work and nothing is left half-written.
  using PublicFunctionUnit::ScanState, PublicFunctionUnit::TRunState;
  StopToolsForExit();
  // a repair (or the backup before it) or a history cleaning stops as its Cancel stops it
  bool repairing = !ScanRunning() && (Busy() || ScanState == TRunState::HistoryCleaning);
  ScanState = repairing ? TRunState::StopRepair : TRunState::StopScan;
  RepairGrid->SetItemIndex(-1);
  Application.Terminate();
}

bool TZelvoranMainForm::FrameBusy() const {
  return ScanRunning() || Busy() || ToolBusy() ||
         (backupPage_ != nullptr && backupPage_->Busy());
}

// ---- pages ----

void TZelvoranMainForm::ScanBtnClick(TObject* sender) {
  if (FrameBusy()) return;
  PublicFunctionUnit::ScanState = PublicFunctionUnit::TRunState::Idle;
  SwitchMainPage(sender);
  ResetScanProgress(false);
  ScanNotebook->SetPageIndex(0);
  SetScanPhase(0);
  MainNotebook->SetPageIndex(0);
}

void TZelvoranMainForm::BackupBtnClick(TObject* sender) {
  if (FrameBusy()) return;
  SwitchMainPage(sender);
  MainNotebook->SetPageIndex(1);
  backupPage_ = RegBackupUnit::ShowRegBackupForm(backupPage_, BackupPanel, this, BackupFolder);
}

void TZelvoranMainForm::AdvanceBtnClick(TObject* sender) {
  if (FrameBusy()) return;
  SwitchMainPage(sender);
  HighlightToolLabel(sender);
  MainNotebook->SetPageIndex(2);
}

void TZelvoranMainForm::FreeTools() {
  for (TToolSlot& t : Tools) {
    if (t.Window == nullptr) continue;
    TForm* window = t.Window;
    t.Window = nullptr;
    window->FreeWhenIdle();
  }
}

void TZelvoranMainForm::SwitchMainPage(TObject* sender) {
  FreeTools();
  if (sender != ScanBtn && sender != BackupBtn && sender != AdvanceBtn) return;
  ShowImage(ScanBtn, DM->MainImageList, sender == ScanBtn ? 1 : 0);
  ShowImage(BackupBtn, DM->MainImageList, sender == BackupBtn ? 3 : 2);
  ShowImage(AdvanceBtn, DM->MainImageList, sender == AdvanceBtn ? 5 : 4);
}

void TZelvoranMainForm::SetScanPhase(int phase) {
  if (phase < 0 || phase > 3) return;
  if (phase == 0) {
    for (int i = 0; i < SectionCount; ++i) {
      ShowImage(SectionImages[i], DM->StatImageList, StatTicked);
      SectionImages[i]->Tag = 1;
      ItemCountLabels[i]->SetCaption("");
    }
  }
  bool choose = phase == 0, scanning = phase == 1, results = phase == 2;
  cbSelectAll->SetVisible(choose || results);
  abSelectAll->SetVisible(choose || results);
  ScanNowBtn->SetVisible(choose);
  WarningPanel->SetVisible(scanning);
  AbortScanBtn->SetVisible(scanning);
  RepairBtn->SetVisible(results);
  FinishBtn->SetVisible(phase == 3);
}

void TZelvoranMainForm::ResetScanProgress(bool visible) {
  abScanTime->SetCaption("00:00:00");
  ScanOutcomePanel->SetCaption("");
  pbItemsProcessed->SetPosition(0);
  pbTotalProcess->SetPosition(0);
  panTotalProcess->SetCaption("Total Process:");
  abItemsProcessed->SetCaption("Items processed: 0");
  for (TControl* c : std::initializer_list<TControl*>{spShape, spLabel, abScanTimeTitle, abScanTime, ScanOutcomePanel,
                                                       pbItemsProcessed, panTotalProcess, abItemsProcessed,
                                                       pbTotalProcess})
    c->SetVisible(visible);
  LabelHint->SetVisible(!visible);
  Repaint();
}

void TZelvoranMainForm::picSection01Click(TObject* sender) {
  if (ScanRunning() || Busy()) return;
  auto* pic = dynamic_cast<TImage*>(sender);
  if (pic == nullptr) return;
  if (pic->Tag == 0) {
    pic->Tag = 1;
    ShowImage(pic, DM->StatImageList, StatTicked);
  } else if (pic->Tag == 1) {
    pic->Tag = 0;
    ShowImage(pic, DM->StatImageList, StatUnticked);
  }
}

void TZelvoranMainForm::HighlightToolLabel(TObject* control) {
  for (TLabel* label : ToolLabels) {
    TFont f = label->Font();
    f.Underline = false;
    label->SetFont(f);
  }
  if (auto* label = dynamic_cast<TLabel*>(control)) {
    TFont f = label->Font();
    f.Underline = true;
    label->SetFont(f);
  }
}

void TZelvoranMainForm::LaunchTool(int tool, TObject*) {
  if (LaunchersBlocked() || ToolBusy()) return;
  if (tool == kRestorePointTool) {
    if (PublicFunctionUnit::PlatformKind == 2) {
      ShowMessageBox(kRestorePointRefused, MB_ICONWARNING);
      return;
    }
    if (PublicFunctionUnit::PlatformKind != 4) return;
  }
  HighlightToolLabel(ToolLabels[tool]);
  TToolSlot& slot = Tools[tool];
  if (slot.Window == nullptr) {
    slot.Window = slot.Create(AdvancePanel);
    slot.Window->SetBounds(4, 26, 489, 337);
  }
  slot.Window->Show();
  slot.Window->BringToFront();
}

// ---- title buttons ----

void TZelvoranMainForm::wsCloseBtnClick(TObject*) {
  ShowWindow(Handle(), SW_MINIMIZE);
  ShowWindow(Handle(), SW_HIDE);
}

void TZelvoranMainForm::wsMinimizedBtnClick(TObject*) {
  if (FrameBusy()) return;
  ShowWindow(Handle(), SW_MINIMIZE);
}

void TZelvoranMainForm::OptionsBtnClick(TObject*) {
  if (FrameBusy()) return;
  if (MainUnit::ShowOptions) MainUnit::ShowOptions();
}

void TZelvoranMainForm::AboutBtnClick(TObject* sender) {
  if (FrameBusy()) return;
  DM->About1Click(sender);
}

void TZelvoranMainForm::HomeBtnClick(TObject*) { PublicFunctionUnit::OpenUrl(1, MyRegistryInfo.HomePage); }

void TZelvoranMainForm::BackImageMouseDown(TObject*, TMouseButton button, int x, int y) {
  if (button != TMouseButton::Left || x < 0 || x > ClientWidth() || y < 0 || y > BackImage->Height()) return;
  ReleaseCapture();
  SendMessageW(Handle(), WM_SYSCOMMAND, 0xF012, 0);
}

// ---- hover pictures ----

void TZelvoranMainForm::ImageEx1MouseEnter(TObject* sender) {
  for (int i = 0; i < ToolCount; ++i)
    if (sender == ToolIcons[i] || sender == ToolLabels[i]) ToolLabels[i]->SetFontColor(0xF0CAA6);
}

void TZelvoranMainForm::ImageEx1MouseLeave(TObject* sender) {
  for (int i = 0; i < ToolCount; ++i)
    if (sender == ToolIcons[i] || sender == ToolLabels[i]) ToolLabels[i]->SetFontColor(clBlack);
}

// ---- tray and messages ----

void TZelvoranMainForm::AddTrayIcon() {
  // The icon stays in the notification area while the program runs: added again when Explorer
  // starts again, and tried again while the taskbar is not there yet (TTrayIcon).
  trayIcon_ = std::make_unique<TTrayIcon>(Handle(), WM_TRAY_ICON, 0);
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  if (icon == nullptr) icon = LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION);
  trayIcon_->Add(icon, Copy(Caption(), 1, 63));
  // Explorer and a later start without elevation reach an elevated instance as well.
  for (UINT message : {WM_TRAY_ICON, WM_RESTORE_INSTANCE, (UINT)WM_COPYDATA})
    AllowMessageFromLowerRights(Handle(), message);
}

void TZelvoranMainForm::WMTrayIcon(LPARAM lp) {
  POINT p;
  GetCursorPos(&p);
  switch (lp) {
    case WM_LBUTTONDOWN:
      DM->OpenMenuClick(DM->OpenMenu);
      break;
    case WM_RBUTTONDOWN:
      SetForegroundWindow(Handle());
      DM->MainPopupMenu.Popup(p.x, p.y, Handle());
      PostMessageW(Handle(), WM_NULL, 0, 0);
      break;
    case 0x10:   // as the menu's "Exit"
      ExitProgram();
      break;
    default:
      break;
  }
}

void TZelvoranMainForm::WMRestoreInstance() {
  if (!IsIconic(Handle())) return;
  ShowWindow(Handle(), SW_SHOW);
  ShowWindow(Handle(), SW_RESTORE);
}

bool TZelvoranMainForm::WMCopyData(const COPYDATASTRUCT* data) {
  if (data == nullptr || data->dwData != CommandLineData || data->cbData > MaxCommandLineData ||
      data->cbData % sizeof(wchar_t) != 0 || (data->cbData > 0 && data->lpData == nullptr))
    return false;
  std::wstring text(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
  WMRestoreInstance();
  // Only the scheduled job's parameter starts anything; another one only brings the window back.
  if (SameText(Trim(Narrow(text)), PublicFunctionUnit::ScheduledJobParameter)) RequestScan();
  return true;
}

void TZelvoranMainForm::RequestScan() {
  if (ScanRunning()) return;   // the scan under way is the one asked for
  scanRequested_ = true;
  requestedScanTimer_.SetEnabled(true);
}

namespace {
BOOL CALLBACK NoteDialogBox(HWND hwnd, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 15);
  if (IsWindowVisible(hwnd) && wcscmp(name, L"#32770") == 0) *reinterpret_cast<bool*>(found) = true;
  return TRUE;
}

// True while a message box or another system dialog of this thread is open.
bool DialogBoxOpen() {
  bool open = false;
  EnumThreadWindows(GetCurrentThreadId(), NoteDialogBox, reinterpret_cast<LPARAM>(&open));
  return open;
}
}  // namespace

bool TZelvoranMainForm::FinishPageShown() const {
  return MainNotebook->PageIndex() == 0 && ScanNotebook->PageIndex() == 2;
}

bool TZelvoranMainForm::FreeForUnattendedWork() const {
  if (Application.Terminated() || FrameBusy() || LaunchersBlocked() || !IsWindowEnabled(Handle())) return false;
  if (startingRequestedScan_) return false;   // the pause before the requested scan
  if (FinishPageShown()) return false;   // a scan would replace the report the user has not read
  GUITHREADINFO gui{sizeof gui};
  const DWORD kHeld = GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE | GUI_INMOVESIZE;
  if (GetGUIThreadInfo(GetCurrentThreadId(), &gui) && (gui.flags & kHeld) != 0) return false;
  return !DialogBoxOpen();
}

void TZelvoranMainForm::StartRequestedScan() {
  if (!scanRequested_ || startingRequestedScan_ || !FreeForUnattendedWork()) return;   // asked again later
  requestedScanTimer_.SetEnabled(false);
  // As a start with the parameter: the scan page with every section, a second's pause, the scan.
  startingRequestedScan_ = true;
  ScanBtnClick(ScanBtn);
  MainUnit::Delay(1000);
  startingRequestedScan_ = false;
  if (!scanRequested_ || Application.Terminated()) return;   // a scan meanwhile was the one asked for
  if (!FreeForUnattendedWork()) {
    requestedScanTimer_.SetEnabled(true);
    return;
  }
  ScanBtnClick(ScanBtn);
  ScanNowBtnClick(ScanNowBtn);
}

LRESULT TZelvoranMainForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (trayIcon_ != nullptr && GuardedResult(false, [&] { return trayIcon_->HandleMessage(msg, wp, lp); })) return 0;
  switch (msg) {
    case WM_COPYDATA: {
      bool taken = false;
      Guarded([&] { taken = WMCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp)); });
      return taken ? TRUE : FALSE;
    }
    case WM_TRAY_ICON:
      Guarded([&] { WMTrayIcon(lp); });
      return 0;
    case WM_RESTORE_INSTANCE:
      Guarded([&] { WMRestoreInstance(); });
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wp) trayIcon_.reset();
      return 0;
  }
  return TForm::WndProc(msg, wp, lp);
}
