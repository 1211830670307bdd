// The main window's frame: its layout, life, pages, tool hosting, title buttons and tray icon.
#include "MainUnit.h"

#include <shellapi.h>

#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/Exceptions.h"
#include "../framework/ImageList.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "OptionUnit.h"

TZelvoranMainForm* ZelvoranMainForm = nullptr;

namespace MainUnit {
TJunkCleanerStatus* JunkCleaner = nullptr;
std::function<void()> ShowOptions = OptionUnit::ShowPreferences;
}

using namespace MainUnit;
using PublicFunctionUnit::MyRegistryInfo;

namespace {

const TColor kTitleBlue = 0x8B4513;
const TColor kPaleBlue = 0xFFF2D9;

// A picture for a button whose skin is missing: its caption on a plain face.
TBitmap PlainPicture(int width, int height, const std::string& text, bool active) {
  TBitmap bmp(width, height, active ? kPaleBlue : clWhite);
  TBitmapDC dc(bmp);
  TCanvas canvas(dc.Handle());
  canvas.PenColor = 0xA0A0A0;
  canvas.FrameRect({0, 0, width, height});
  canvas.Font.Color = clNavy;
  canvas.Font.Bold = true;
  RECT r{0, 0, width, height};
  canvas.TextRect(r, text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  return bmp;
}

// The section state pictures when their skin is missing: a box, ticked, scanning, clean, found.
TBitmap PlainStatPicture(int index) {
  TBitmap bmp(16, 16, clWhite);
  TBitmapDC dc(bmp);
  TCanvas canvas(dc.Handle());
  canvas.PenColor = clGray;
  RECT box{1, 1, 15, 15};
  if (index >= StatAnimFirst && index <= StatAnimLast) {
    canvas.BrushColor = 0x00C0FF;
    RECT bar{1, 1, 1 + 2 * (index - StatAnimFirst + 1), 15};
    canvas.FillRect(bar);
  } else if (index == StatClean || index == StatFound) {
    canvas.BrushColor = index == StatClean ? clGreen : clRed;
    canvas.FillRect(box);
  }
  canvas.FrameRect(box);
  if (index == StatTicked) {
    canvas.Font.Bold = true;
    canvas.Font.Color = clNavy;
    canvas.TextRect(box, "v", DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  return bmp;
}

const char* const kToolCaptions[ToolCount] = {
    "Startup Manager",  "Uninstaller Manager", "Junk File Cleaner", "Internet Explorer Restorer",
    "BHO Manager",      "History Cleaner",     "System Optimizer",  "Block ActiveX",
    "Tweak Memory",     "System Restore Point", "Register ActiveX", "Error Utilities"};
const char* const kToolLabels[ToolCount] = {
    "abStartupManageBtn", "abAddRemoveBtn", "abSystemCleanBtn",  "BrowserRepairBtn",
    "IEPluginsBtn",       "ClearHistoryBtn", "abOptimizeBtn",    "abProtectPCBtn",
    "abTweakRAMBtn",      "abSysRestoreBtn", "abRegisterActiveXBtn", "abServiceOptimizeBtn"};
const int kRestorePointTool = 9;

// The page of a tool that is not part of the program yet.
class TToolPlaceholderForm : public TForm {
 public:
  TToolPlaceholderForm(TControl* host, const std::string& caption)
      : TForm({.Host = host, .Border = TBorderStyle::None, .ClassName = "TToolPlaceholderForm"}) {
    SetColor(clWhite);
    auto* title = new TLabel(this);
    title->SetBounds(16, 16, 440, 24);
    title->SetFont({.Height = 16, .Bold = true, .Color = clNavy});
    title->SetCaption(caption);
    DoCreate();
  }
};

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
    std::string caption = kToolCaptions[i];
    Tools[i].Create = [caption](TControl* host) -> TForm* { return new TToolPlaceholderForm(host, caption); };
  }
  BuildFrame();
  OnCreate = [this](TObject*) { FormCreate(); };
  OnShow = [this](TObject*) { FormShow(); };
  OnActivate = [this](TObject*) { FormActivate(); };
  OnDestroy = [this](TObject*) { FormDestroy(); };
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

void TZelvoranMainForm::SetPicture(TImage* image, const TImageList& list, int index) {
  image->ClearPicture();
  if (index < 0) return;
  TBitmap bmp;
  if (index < list.Count()) {
    list.GetBitmap(index, bmp);
  } else if (&list == &DM->StatImageList) {
    bmp = PlainStatPicture(index);
  } else {
    bmp = PlainPicture(list.Width(), list.Height(), image->Hint.empty() ? image->Name : image->Hint, index % 2 == 1);
  }
  image->SetPicture(std::move(bmp));
}

// The button's normal picture; the hover picture comes with the hover image control.
void TZelvoranMainForm::HoverPair(TImage* image, const TImageList& list, int enter, int leave) {
  (void)enter;
  SetPicture(image, list, leave);
}

void TZelvoranMainForm::BuildFrame() {
  auto picture = [](TControl* parent, const char* name, const char* text, int l, int t, int w, int h) {
    auto* image = new TImage(parent);
    image->Name = name;
    image->Hint = text;
    image->SetBounds(l, t, w, h);
    image->SetCursor(TCursor::HandPoint);
    return image;
  };

  BackImage = new TImage(this);
  BackImage->Name = "BackImage";
  BackImage->SetBounds(0, 0, 650, 87);
  BackImage->SetPicture(TBitmap(650, 87, kTitleBlue));
  BackImage->OnMouseDown = [this](TObject* s, TMouseButton b, int x, int y) { BackImageMouseDown(s, b, x, y); };
  auto* title = new TLabel(this);
  title->SetBounds(20, 22, 300, 40);
  title->SetFont({.Name = "Georgia", .Height = 30, .Bold = true, .Color = clWhite});
  title->SetCaption("Zelvoran");
  title->OnMouseDown = [this](TObject* s, TMouseButton b, int x, int y) { BackImageMouseDown(s, b, x, y); };

  HelpBtn = picture(this, "HelpBtn", "Help", 486, 34, 53, 22);
  OptionsBtn = picture(this, "OptionsBtn", "Options", 538, 34, 53, 22);
  AboutBtn = picture(this, "AboutBtn", "About", 598, 34, 52, 22);
  wsMinimizedBtn = picture(this, "wsMinimizedBtn", "_", 606, 4, 21, 11);
  wsCloseBtn = picture(this, "wsCloseBtn", "x", 628, 4, 21, 11);
  HoverPair(HelpBtn, DM->ExBtnImageList, 1, 0);
  HoverPair(OptionsBtn, DM->ExBtnImageList, 3, 2);
  HoverPair(AboutBtn, DM->ExBtnImageList, 5, 4);
  HoverPair(wsMinimizedBtn, DM->MinCloseImageList, 1, 0);
  HoverPair(wsCloseBtn, DM->MinCloseImageList, 3, 2);
  wsMinimizedBtn->Hint = "Minimize";
  wsCloseBtn->Hint = "Hide";
  HelpBtn->OnClick = [this](TObject* s) { HelpBtnClick(s); };
  OptionsBtn->OnClick = [this](TObject* s) { OptionsBtnClick(s); };
  AboutBtn->OnClick = [this](TObject* s) { AboutBtnClick(s); };
  wsMinimizedBtn->OnClick = [this](TObject* s) { wsMinimizedBtnClick(s); };
  wsCloseBtn->OnClick = [this](TObject* s) { wsCloseBtnClick(s); };

  LeftPanel = new TPanel(this);
  LeftPanel->SetBounds(0, 87, 153, 373);
  LeftPanel->SetColor(0xF7EBDD);
  ScanBtn = picture(LeftPanel, "ScanBtn", "Scan", 8, 40, 136, 33);
  BackupBtn = picture(LeftPanel, "BackupBtn", "Backup", 8, 90, 136, 33);
  AdvanceBtn = picture(LeftPanel, "AdvanceBtn", "Advanced", 8, 140, 136, 33);
  HomeBtn = picture(LeftPanel, "HomeBtn", "Zelvoran Home Page", 0, 373 - 60, 153, 60);
  ScanBtn->OnClick = [this](TObject* s) { ScanBtnClick(s); };
  BackupBtn->OnClick = [this](TObject* s) { BackupBtnClick(s); };
  AdvanceBtn->OnClick = [this](TObject* s) { AdvanceBtnClick(s); };
  HoverPair(HomeBtn, DM->AboutImageList, 1, 0);
  HomeBtn->OnClick = [this](TObject* s) { HomeBtnClick(s); };

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
  ScanOutcomePanelEx->SetColor(0xF7EBDD);
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
  WarningPanel->SetColor(0xF7EBDD);
  ImageWarning = new TImage(WarningPanel);
  ImageWarning->SetBounds(2, 6, 16, 16);
  ImageWarning->SetPicture(PlainStatPicture(StatFound));
  LabelWarning = new TLabel(WarningPanel);
  LabelWarning->SetBounds(24, 7, 170, 15);
  LabelWarning->SetFont({.Bold = true, .Color = clRed});

  auto button = [this, bar](const char* name, const char* text, int enter, int leave) {
    auto* b = new TImage(bar);
    b->Name = name;
    b->Hint = text;
    b->SetBounds(497 - 146, 6, 136, 33);
    b->SetCursor(TCursor::HandPoint);
    HoverPair(b, DM->ScanImageList, enter, leave);
    return b;
  };
  ScanNowBtn = button("ScanNowBtn", "Scan Now", 1, 0);
  AbortScanBtn = button("AbortScanBtn", "Abort", 3, 2);
  RepairBtn = button("RepairBtn", "Repair", 5, 4);
  FinishBtn = button("FinishBtn", "Finish", 7, 6);
  ScanNowBtn->OnClick = [this](TObject* s) { ScanNowBtnClick(s); };
  AbortScanBtn->OnClick = [this](TObject* s) { AbortScanBtnClick(s); };
  RepairBtn->OnClick = [this](TObject* s) { RepairBtnClick(s); };
  FinishBtn->OnClick = [this](TObject* s) { FinishBtnClick(s); };
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
  FinishListView->OnCustomDrawSubItem = [](TListView*, int, int column, TColor& color) {
    color = column == 1 ? clGreen : clBlack;
  };
}

void TZelvoranMainForm::BuildAdvancedPage(TPanel* page) {
  // Icons in the order of their numbers (ImageEx1..12) on a grid of four columns.
  static const int kIconOfTool[ToolCount] = {10, 1, 7, 6, 3, 4, 8, 2, 12, 11, 9, 5};
  for (int tool = 0; tool < ToolCount; ++tool) {
    int slot = kIconOfTool[tool] - 1;
    int left = 14 + (slot % 4) * 120, top = 30 + (slot / 4) * 105;
    auto* icon = new TImage(page);
    icon->Name = Format("ImageEx%d", kIconOfTool[tool]);
    icon->SetBounds(left + 38, top, 40, 40);
    icon->SetCursor(TCursor::HandPoint);
    icon->SetPicture(PlainPicture(40, 40, Copy(Tools[tool].Caption, 1, 1), false));
    auto* label = new TLabel(page);
    label->Name = Tools[tool].LabelName;
    label->SetBounds(left, top + 44, 116, 32);
    label->Alignment = TAlignment::Center;
    label->WordWrap = true;
    label->SetCaption(Tools[tool].Caption);
    label->SetCursor(TCursor::HandPoint);
    label->OnMouseEnter = [label](TObject*) { label->SetFontColor(0xF0CAA6); };
    label->OnMouseLeave = [label](TObject*) { label->SetFontColor(clBlack); };
    icon->OnClick = [this, tool](TObject* s) { LaunchTool(tool, s); };
    label->OnClick = [this, tool](TObject* s) { LaunchTool(tool, s); };
    ToolIcons[tool] = icon;
    ToolLabels[tool] = label;
    if (tool == kRestorePointTool) {
      abOnlyXPMsg = new TLabel(page);
      abOnlyXPMsg->SetBounds(left, top + 76, 116, 15);
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
    SetPicture(pic, DM->StatImageList, StatTicked);
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
  PublicFunctionUnit::Delay(1000);
  ScanNowBtnClick(ScanNowBtn);
}

void TZelvoranMainForm::FormDestroy() {
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
    if (t.Window != nullptr && t.Window->Busy()) return true;
  return false;
}

bool TZelvoranMainForm::FrameBusy() const {
  return ScanRunning() || Busy() || (JunkCleaner != nullptr && JunkCleaner->State == 1) || ToolBusy();
}

// ---- pages ----

void TZelvoranMainForm::ScanBtnClick(TObject* sender) {
  if (FrameBusy()) return;
  PublicFunctionUnit::ScanState = 0;
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
    window->Free();
  }
}

void TZelvoranMainForm::SwitchMainPage(TObject* sender) {
  FreeTools();
  if (sender != ScanBtn && sender != BackupBtn && sender != AdvanceBtn) return;
  SetPicture(ScanBtn, DM->MainImageList, sender == ScanBtn ? 1 : 0);
  SetPicture(BackupBtn, DM->MainImageList, sender == BackupBtn ? 3 : 2);
  SetPicture(AdvanceBtn, DM->MainImageList, sender == AdvanceBtn ? 5 : 4);
}

void TZelvoranMainForm::SetScanPhase(int phase) {
  if (phase < 0 || phase > 3) return;
  if (phase == 0) {
    for (int i = 0; i < SectionCount; ++i) {
      SetPicture(SectionImages[i], DM->StatImageList, StatTicked);
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
    SetPicture(pic, DM->StatImageList, StatTicked);
  } else if (pic->Tag == 1) {
    pic->Tag = 0;
    SetPicture(pic, DM->StatImageList, StatUnticked);
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

void TZelvoranMainForm::LaunchTool(int tool, TObject* sender) {
  if (JunkCleaner != nullptr && JunkCleaner->ScanPageShown) return;
  if (ToolBusy()) return;
  if (tool == kRestorePointTool) {
    if (PublicFunctionUnit::PlatformKind == 2) {
      ShowMessageBox("System Restore Point for Windows 2000 and XP!", "Zelvoran", MB_ICONWARNING);
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
  (void)sender;
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

// ---- tray and messages ----

void TZelvoranMainForm::AddTrayIcon() {
  trayIcon_ = std::make_unique<TTrayIcon>(Handle(), WM_TRAY_ICON, 0);
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
  if (icon == nullptr) icon = LoadIconW(nullptr, (LPCWSTR)IDI_APPLICATION);
  trayIcon_->Add(icon, Copy(Caption(), 1, 63));
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
    case 0x10:
      PublicFunctionUnit::ScanState = 1;
      RepairGrid->SetItemIndex(-1);
      Application.Terminate();
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

LRESULT TZelvoranMainForm::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
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
