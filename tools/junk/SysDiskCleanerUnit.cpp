#include "SysDiskCleanerUnit.h"

#include <algorithm>

#include <shellapi.h>
#include <shlobj.h>

#include "../../framework/Application.h"
#include "../../framework/Dialogs.h"
#include "../../framework/Exceptions.h"
#include "../../framework/Handles.h"
#include "../../framework/PageBuilders.h"
#include "../../framework/Strings.h"
#include "DetailTempFileUnit.h"
#include "TemporaryFileUnit.h"

using namespace SysDiskCleanerUnit;

namespace {

// ---- texts ----
const char* const kBack = "<Back";
const char* const kNext = "Next>";
const char* const kFinish = "Finish";
const char* const kStop = "Stop";

const char* const kDrivesLine1 = "Please select the drives you wish to scan from the following list.Click next when ";
const char* const kDrivesLine2 = "you have finished selecting the drives.";
const char* const kPressNext = "Please press next to proceed to next step.";
const char* const kDescription =
    "Junk File Cleaner searches the selected drives for temporary, backup, log and other junk files left "
    "behind by Windows and programs. You choose the types of files to look for, see what was found on each "
    "drive, and remove the files you select: deleted, moved to the Recycle Bin or moved into one folder.";

const char* const kSelectJunk = "Select Junk Files";
const char* const kJunkLine1 = "Check the types of Junk Files for searching. You can Add, Edit or Remove the ";
const char* const kJunkLine2 = "types if needed.";
const char* const kCategories = "Junk Files Catagories:";
const char* const kSelectAll = "Select All";
const char* const kAdd = "Add";
const char* const kEdit = "Edit";
const char* const kRemove = "Remove";
const char* const kAddCaption = "Add a new file type";
const char* const kEditCaption = "Modify file type";
const char* const kRemoveQuestion = "Are you sure to remove the selected item(s)?";

const char* const kSearchDrives = "Search Disk Drives";
const char* const kScanLine1 = "Please wait while Zelvoran Junk File Cleaner searches the selected drives for ";
const char* const kScanLine2 = "junk files. In next step you will select the junk and obsolete files to be removed ";
const char* const kScanLine3 = "from the system.";

const char* const kSummary = "Scan Process Summary";
const char* const kReportLine1 = "Please select the catagories of files you would like to clean in the listbox";
const char* const kReportLine2 = "below. In the next step you will choose how to deal with the junk files.";
const char* const kSelected = "Selected:";
const char* const kClickHere = "Click here";
const char* const kDetailsLine1 = "to view detailed results of scan or double click on selected item ";
const char* const kDetailsLine2 = "in list box.";

const char* const kOptionsTitle = "Select cleaning options";
const char* const kOptionsLine = "Select the mode of cleaning files from your system";
const char* const kModeDelete = "Permanently delete files";
const char* const kModeRecycle = "Move files to Recycle Bin (recommended)";
const char* const kModeMove = "Move all files in one folder";
const char* const kDestination = "Select destination folder:";
const char* const kBrowseTitle = "Select Directory";
const char* const kNoFolder = "Please select the destination folder for the junk files.";

const char* const kRemoveTitle = "Remove Junk Files";
const char* const kRemovedLine = "The Junk File Cleaner has removed the specific junk files as shown below:";
const char* const kNothingRemoved = "The cleanup was cancelled: no junk files were removed.";
const char* const kConfirm = "The files will be permanently deleted and can not recovered!\r\rAre you sure to proceed?";
const char* const kConfirmCaption = "Junk File Cleaner - Delete Confirmation";

struct TColumn {
  const char* Caption;
  int Width;
  TAlignment Alignment = TAlignment::LeftJustify;
};
const TColumn kDiskColumns[] = {{"Drives", 142}, {"Total Space", 100, TAlignment::RightJustify},
                                {"Free Space", 100, TAlignment::RightJustify}};
const TColumn kJunkColumns[] = {{"Type", 120}, {"Description", 305}};
const TColumn kScanColumns[] = {{"Examining Drive", 345}, {"Status", 80, TAlignment::Center}};
const TColumn kReportColumns[] = {{"Scanned Drive", 264}, {"Total", 80, TAlignment::Center},
                                  {"Space occupied", 90, TAlignment::RightJustify}};
const TColumn kCleanerColumns[] = {{"Junk Files", 265}, {"Status", 100, TAlignment::Center}};

constexpr int kPageWidth = 489;
constexpr int kBookHeight = 300;
constexpr int kListLeft = 12;
constexpr int kListWidth = kPageWidth - 2 * kListLeft;
constexpr int kColumnSlack = 23;
constexpr DWORD kPumpIntervalMs = 30;
constexpr TColor kStatusRed = 255;

template <size_t N>
void AddColumns(TListView* list, const TColumn (&columns)[N]) {
  for (const TColumn& c : columns) list->AddColumn(c.Caption, c.Width, c.Alignment);
}

TLabel* NewTitle(TControl* page, const std::string& caption) {
  TLabel* title = NewLabel(page, caption, kListLeft, 8, 300);
  TFont font = title->Font();
  font.Bold = true;
  title->SetFont(font);
  return title;
}

TButton* NewButton(TControl* parent, const std::string& caption, int left, int top, int width = 75) {
  auto* button = new TButton(parent);
  button->SetBounds(left, top, width, 25);
  button->SetCaption(caption);
  return button;
}

std::string BrowseForFolder(HWND owner) {
  std::wstring title = Widen(kBrowseTitle);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (item == nullptr) return "";
  wchar_t path[MAX_PATH] = {};
  bool ok = SHGetPathFromIDListW(item, path);
  CoTaskMemFree(item);
  return ok ? Narrow(path) : "";
}

}  // namespace

// ---- building ----

TSysDiskCleanerForm::TSysDiskCleanerForm(TControl* host, const std::string& storePath)
    : TToolPage(host, "TSysDiskCleanerForm"),
      driveImages_(std::make_unique<TImageList>(16, 16)) {
  JunkFilePath = storePath.empty() ? ExeDir() + JunkFileName : storePath;
  SetColor(clWhite);
  SetBounds(4, 26, kPageWidth, 337);
  DataNotebook = new TNotebook(this);
  DataNotebook->SetBounds(0, 0, kPageWidth, kBookHeight);
  BuildDrivesPage(DataNotebook->AddPage("Drives"));
  BuildJunkFilesPage(DataNotebook->AddPage("JunkFiles"));
  BuildScanPage(DataNotebook->AddPage("Scan"));
  BuildReportPage(DataNotebook->AddPage("Report"));
  BuildOptionsPage(DataNotebook->AddPage("CleanupOptions"));
  BuildCleanupPage(DataNotebook->AddPage("Cleanup"));
  BackBtn = NewButton(this, kBack, 318, 306);
  BackBtn->OnClick = [this](TObject* s) { BackBtnClick(s); };
  NextBtn = NewButton(this, kNext, 400, 306);
  NextBtn->OnClick = [this](TObject* s) { NextBtnClick(s); };
  PickFolder = [this] { return BrowseForFolder(Handle()); };
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  OnClose = [this](TObject*, TCloseAction&) { State = TCleanerState::StopRequested; };
  DoCreate();
}

TSysDiskCleanerForm::~TSysDiskCleanerForm() = default;

void TSysDiskCleanerForm::BuildDrivesPage(TPanel* page) {
  page->SetColor(clWhite);
  NewLabel(page, kDrivesLine1, kListLeft, 10, kListWidth);
  NewLabel(page, kDrivesLine2, kListLeft, 26, kListWidth);
  DiskListView = new TListView(page, {.CheckBoxes = true});
  DiskListView->SetBounds(kListLeft, 48, kListWidth, 140);
  AddColumns(DiskListView, kDiskColumns);
  DiskListView->SetSmallImages(driveImages_.get());
  NewLabel(page, kPressNext, kListLeft, 194, kListWidth);
  auto* memo = new TMemo(page);
  memo->SetBounds(kListLeft, 216, kListWidth, 78);
  memo->SetReadOnly(true);
  memo->SetText(kDescription);
}

void TSysDiskCleanerForm::BuildJunkFilesPage(TPanel* page) {
  page->SetColor(clWhite);
  NewTitle(page, kSelectJunk);
  NewLabel(page, kJunkLine1, kListLeft, 28, kListWidth);
  NewLabel(page, kJunkLine2, kListLeft, 44, kListWidth);
  NewLabel(page, kCategories, kListLeft, 66, kListWidth);
  JunkFilesListView = new TListView(page, {.CheckBoxes = true});
  JunkFilesListView->SetBounds(kListLeft, 84, kListWidth, 180);
  AddColumns(JunkFilesListView, kJunkColumns);
  JunkFilesListView->OnMouseDown = [this](TObject* s, TMouseButton b, int x, int y) {
    JunkFilesListViewMouseDown(s, b, x, y);
  };
  cbJunkFileSelectAll = NewCheckBox(page, kSelectAll, kListLeft, 272, 120);
  cbJunkFileSelectAll->SetChecked(true);
  cbJunkFileSelectAll->OnClick = [this](TObject* s) { cbJunkFileSelectAllClick(s); };
  AddBtn = NewButton(page, kAdd, 236, 270);
  AddBtn->OnClick = [this](TObject* s) { AddBtnClick(s); };
  EditBtn = NewButton(page, kEdit, 318, 270);
  EditBtn->OnClick = [this](TObject* s) { EditBtnClick(s); };
  DelBtn = NewButton(page, kRemove, 400, 270);
  DelBtn->OnClick = [this](TObject* s) { DelBtnClick(s); };
}

void TSysDiskCleanerForm::BuildScanPage(TPanel* page) {
  page->SetColor(clWhite);
  NewTitle(page, kSearchDrives);
  NewLabel(page, kScanLine1, kListLeft, 28, kListWidth);
  NewLabel(page, kScanLine2, kListLeft, 44, kListWidth);
  NewLabel(page, kScanLine3, kListLeft, 60, kListWidth);
  ScanListView = new TListView(page);
  ScanListView->SetBounds(kListLeft, 84, kListWidth, 170);
  AddColumns(ScanListView, kScanColumns);
  ScanListView->SetSmallImages(driveImages_.get());
  ScanListView->OnCustomDrawSubItem = [](TListView* list, int index, int column, TColor& color) {
    TListItem row;
    list->GetRow(index, row);
    color = column == 1 && row.Text(1) == StatusScanning ? kStatusRed : clBlack;
  };
  ScanMessage = NewLabel(page, "", kListLeft, 262, 380);
  StopScanBtn = NewButton(page, kStop, 400, 262);
  StopScanBtn->OnClick = [this](TObject* s) { StopScanBtnClick(s); };
}

void TSysDiskCleanerForm::BuildReportPage(TPanel* page) {
  page->SetColor(clWhite);
  NewTitle(page, kSummary);
  NewLabel(page, kReportLine1, kListLeft, 28, kListWidth);
  NewLabel(page, kReportLine2, kListLeft, 44, kListWidth);
  ReportListView = new TListView(page, {.CheckBoxes = true});
  ReportListView->SetBounds(kListLeft, 66, kListWidth, 164);
  AddColumns(ReportListView, kReportColumns);
  ReportListView->SetSmallImages(driveImages_.get());
  ReportListView->OnMouseDown = [this](TObject* s, TMouseButton b, int x, int y) { ReportListViewMouseDown(s, b, x, y); };
  ReportListView->OnDblClick = [this](TObject* s) { ReportListViewDblClick(s); };
  auto* statusHolder = new TPanel(page);   // a status bar sits at the bottom of its parent
  statusHolder->SetBounds(kListLeft, 230, kListWidth, 22);
  ReportStatusBar = new TStatusBar(statusHolder);
  ReportStatusBar->SetBounds(0, 0, kListWidth, 22);
  ReportStatusBar->SetPanelWidths({264, 80, 80, 25});
  ReportStatusBar->SetPanelAlignment(1, TAlignment::Center);         // the count
  ReportStatusBar->SetPanelAlignment(2, TAlignment::RightJustify);   // the size
  ReportStatusBar->SetPanelText(0, kSelected);
  Label23 = NewLabel(page, kClickHere, kListLeft, 258, 60);
  Label23->SetCursor(TCursor::HandPoint);
  TFont link = Label23->Font();
  link.Underline = true;
  link.Color = clBlue;
  Label23->SetFont(link);
  Label23->OnClick = [this](TObject* s) { Label23Click(s); };
  NewLabel(page, kDetailsLine1, kListLeft + 62, 258, kListWidth - 62);
  NewLabel(page, kDetailsLine2, kListLeft, 274, kListWidth);
}

void TSysDiskCleanerForm::BuildOptionsPage(TPanel* page) {
  page->SetColor(clWhite);
  NewTitle(page, kOptionsTitle);
  NewLabel(page, kOptionsLine, kListLeft, 28, kListWidth);
  auto radio = [page](const char* caption, int top) {
    auto* button = new TRadioButton(page);
    button->SetBounds(30, top, 300, 20);
    button->SetCaption(caption);
    return button;
  };
  RadioButton1 = radio(kModeDelete, 60);
  RadioButton2 = radio(kModeRecycle, 86);
  RadioButton3 = radio(kModeMove, 112);
  RadioButton2->SetChecked(true);
  RadioButton1->OnClick = [this](TObject* s) { RadioButton1Click(s); };
  RadioButton3->OnClick = [this](TObject* s) { RadioButton3Click(s); };
  NewLabel(page, kDestination, 30, 146, 300);
  panJunkMoveFolder = new TPanel(page);
  panJunkMoveFolder->SetBounds(30, 166, kPageWidth - 60, 22);
  panJunkMoveFolder->Bevel = true;
  panJunkMoveFolder->Alignment = TAlignment::LeftJustify;
  panJunkMoveFolder->SetColor(clWindow);
}

void TSysDiskCleanerForm::BuildCleanupPage(TPanel* page) {
  page->SetColor(clWhite);
  NewTitle(page, kRemoveTitle);
  RemovedLabel = NewLabel(page, kRemovedLine, kListLeft, 28, kListWidth);
  CleanerListView = new TListView(page, {.OwnerData = true});
  CleanerListView->SetBounds(kListLeft, 50, kListWidth, 210);
  AddColumns(CleanerListView, kCleanerColumns);
  CleanerListView->OnData = [this](TListView*, int index, TListItem& row) {
    row.Caption = cleaned_.at(index).Path;
    row.SubItems = {cleaned_.at(index).Status};
  };
  CleanerListView->OnCustomDrawSubItem = [this](TListView*, int index, int column, TColor& color) {
    bool failed = column == 1 && index < (int)cleaned_.size() && cleaned_[index].Status.find("Error") != std::string::npos;
    color = failed ? kStatusRed : clBlack;
  };
  CleanupPanel = new TPanel(page);
  CleanupPanel->SetBounds(kListLeft, 264, kListWidth, 30);
  CleanupPanel->SetColor(clWhite);
  CleanupGauge = new TProgressBar(CleanupPanel);
  CleanupGauge->SetBounds(0, 4, 370, 20);
  StopRepairBtn = NewButton(CleanupPanel, kStop, 388, 2);
  StopRepairBtn->OnClick = [this](TObject* s) { StopRepairBtnClick(s); };
  CleanupPanel->Hide();
}

void TSysDiskCleanerForm::FormCreate(TObject*) {
  InitDrives();
  ShowStep(TCleanerStep::Drives, false);
  FormResize(this);   // the first page shows fitted, before any resize
}

void TSysDiskCleanerForm::FormResize(TObject*) {
  auto fit = [](TListView* list, std::initializer_list<int> others) {
    int width = list->Width() - kColumnSlack;
    for (int c : others) width -= list->ColumnWidth(c);
    list->SetColumnWidth(0, std::max(width, 0));
  };
  fit(DiskListView, {1, 2});
  JunkFilesListView->SetColumnWidth(1, std::max(JunkFilesListView->Width() - JunkFilesListView->ColumnWidth(0) - kColumnSlack, 0));
  fit(ScanListView, {1});
  fit(ReportListView, {1, 2});
  ReportStatusBar->SetPanelWidths({std::max(ReportStatusBar->Width() - 80 - 80 - 25, 0), 80, 80, 25});
  fit(CleanerListView, {1});
}

// ---- the host's view ----

bool TSysDiskCleanerForm::HoldsWindow() const { return TToolPage::HoldsWindow() || State == TCleanerState::Scanning; }
bool TSysDiskCleanerForm::BlocksLaunchers() const { return Step() == TCleanerStep::Scan; }
void TSysDiskCleanerForm::StopForExit() {
  if (State == TCleanerState::Scanning) State = TCleanerState::StopRequested;
}

// ---- wizard ----

TCleanerStep TSysDiskCleanerForm::Step() const { return static_cast<TCleanerStep>(DataNotebook->PageIndex()); }

void TSysDiskCleanerForm::NextBtnClick(TObject*) {
  if (Busy() || State == TCleanerState::Scanning) return;
  TBusyGuard busy(this);
  TCleanerStep step = Step();
  if (step == TCleanerStep::Cleanup) {
    ShowStep(TCleanerStep::Drives, false);
    return;
  }
  auto next = static_cast<TCleanerStep>(static_cast<int>(step) + 1);
  if (next == TCleanerStep::Scan) SaveJunkTypes();   // a failed save leaves the wizard where it is
  if (next == TCleanerStep::Cleanup && MoveFolderMissing()) {
    ShowMessageBox(kNoFolder, MB_ICONWARNING);
    return;
  }
  ShowStep(next, true);
}

void TSysDiskCleanerForm::BackBtnClick(TObject*) {
  if (Busy() || State == TCleanerState::Scanning || Step() == TCleanerStep::Drives) return;
  ShowStep(static_cast<TCleanerStep>(static_cast<int>(Step()) - 1), false);
}

// Shows a step; entering it by Next runs what the step does.
void TSysDiskCleanerForm::ShowStep(TCleanerStep step, bool enter) {
  DataNotebook->SetPageIndex(static_cast<int>(step));
  cleanupDeclined_ = false;
  UpdateWizardButtons();
  if (!enter) return;
  FormResize(this);
  switch (step) {
    case TCleanerStep::JunkFiles:
      if (!LoadJunkTypes() && !Closing()) ShowStep(TCleanerStep::Drives, false);
      break;
    case TCleanerStep::Scan:
      State = TCleanerState::Scanning;
      FillScanList();
      ScanDrives();
      if (State == TCleanerState::Scanning) State = TCleanerState::ScanFinished;
      break;
    case TCleanerStep::Report:
      BuildReport();
      break;
    case TCleanerStep::Cleanup:
      ConfirmCleanup();
      break;
    default:
      break;
  }
}

void TSysDiskCleanerForm::UpdateWizardButtons() {
  TCleanerStep step = Step();
  bool last = step == TCleanerStep::Cleanup;
  // after a cleanup the way back is closed; after a cleanup declined, the user may choose again
  BackBtn->SetEnabled(last ? cleanupDeclined_ : step != TCleanerStep::Drives);
  NextBtn->SetCaption(last ? kFinish : kNext);
  NextBtn->SetEnabled(true);
}

bool TSysDiskCleanerForm::MoveFolderMissing() const {
  return RadioButton3->Checked() && Trim(panJunkMoveFolder->Caption()).empty();
}

void TSysDiskCleanerForm::StopScanBtnClick(TObject*) { State = TCleanerState::StopRequested; }
void TSysDiskCleanerForm::StopRepairBtnClick(TObject*) { State = TCleanerState::StopCleaning; }

// ---- drives ----

void TSysDiskCleanerForm::InitDrives() { UseDrives(ListFixedDrives()); }

void TSysDiskCleanerForm::UseDrives(const std::vector<TFixedDrive>& drives) {
  drives_ = drives;
  driveImages_->Clear();
  DiskListView->BeginUpdate();
  DiskListView->Clear();
  for (const TFixedDrive& drive : drives_) {
    TListItem* row = DiskListView->AddItem(drive.Caption);
    row->SubItems = {Format("%dMB", (int)drive.TotalMb), Format("%dMB", (int)drive.FreeMb), drive.Drive};
    row->ImageIndex = DriveImage(drive.Drive);
    row->Checked = true;
    row->Update();
  }
  DiskListView->EndUpdate();
}

int TSysDiskCleanerForm::DriveImage(const std::string& drive) {
  SHFILEINFOW info{};
  SHGetFileInfoW(Widen(drive + "\\").c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON);
  TIconHandle icon(info.hIcon);
  return icon ? driveImages_->AddIcon(icon.Get()) : -1;
}

// ---- junk types ----

bool TSysDiskCleanerForm::LoadJunkTypes() {
  std::vector<TJunkType> types;
  bool found = false;
  for (;;) {
    try {
      found = LoadJunkTypeFile(JunkFilePath, types);
      break;
    } catch (const EInOutError& e) {
      // the file is there but cannot be read now: the list stays as it was and is not saved
      junkTypesRead_ = false;
      if (ShowMessageBox(Format(UnreadableJunkText, e.what()), MB_RETRYCANCEL | MB_ICONWARNING) != IDRETRY ||
          Closing())
        return false;
    }
  }
  if (!found) {
    DefaultJunkTypes();
    return true;
  }
  JunkTypes = std::move(types);
  ShowJunkTypes();
  return true;
}

void TSysDiskCleanerForm::ShowJunkTypes() {
  junkTypesRead_ = true;
  JunkFilesListView->BeginUpdate();
  JunkFilesListView->Clear();
  for (const TJunkType& type : JunkTypes) AddJunkRow(type);
  JunkFilesListView->EndUpdate();
}

void TSysDiskCleanerForm::SaveJunkTypes() {
  if (!junkTypesRead_) return;   // never over a file that could not be read
  CopyRowChecks();
  SaveJunkTypeFile(JunkFilePath, JunkTypes);
}

void TSysDiskCleanerForm::DefaultJunkTypes() {
  JunkTypes = DefaultJunkTypeList();
  ShowJunkTypes();
  SaveJunkTypes();
}

void TSysDiskCleanerForm::AddJunkRow(const TJunkType& type) {
  TListItem* row = JunkFilesListView->AddItem(type.Pattern);
  row->SubItems = {type.Description};
  row->Checked = type.Checked;
  row->Update();
}

// The rows' ticks into the records, so that a save keeps what the user sees.
void TSysDiskCleanerForm::CopyRowChecks() {
  if (JunkFilesListView->Count() != (int)JunkTypes.size()) return;
  for (int i = 0; i < JunkFilesListView->Count(); ++i) JunkTypes[i].Checked = JunkFilesListView->IsChecked(i);
}

void TSysDiskCleanerForm::AddBtnClick(TObject*) {
  TBusyGuard busy(this);
  TFormPtr<TTemporaryFileForm> dialog(new TTemporaryFileForm(nullptr));
  dialog->SetCaption(kAddCaption);
  if (dialog->ShowModal() != mrOk || Closing()) return;
  TJunkType type{.Checked = true, .Pattern = dialog->edExtension->Text(), .Description = dialog->edDesc->Text()};
  AddJunkRow(type);
  JunkTypes.push_back({.Checked = true, .Pattern = CutJunkText(type.Pattern), .Description = CutJunkText(type.Description)});
}

void TSysDiskCleanerForm::EditBtnClick(TObject*) {
  TListItem* row = JunkFilesListView->Selected();
  if (row == nullptr) return;
  int index = row->Index();
  TBusyGuard busy(this);
  TFormPtr<TTemporaryFileForm> dialog(new TTemporaryFileForm(nullptr));
  dialog->SetCaption(kEditCaption);
  dialog->edExtension->SetText(row->Caption);
  dialog->edDesc->SetText(row->Text(1));
  dialog->edExtensionChange(dialog.get());
  if (dialog->ShowModal() != mrOk || Closing()) return;
  row->Caption = dialog->edExtension->Text();
  row->SubItems = {dialog->edDesc->Text()};
  row->Update();
  if (index >= 0 && index < (int)JunkTypes.size()) {
    JunkTypes[index].Pattern = CutJunkText(row->Caption);
    JunkTypes[index].Description = CutJunkText(row->Text(1));
  }
}

void TSysDiskCleanerForm::DelBtnClick(TObject*) {
  int index = JunkFilesListView->ItemIndex();
  if (index < 0) return;
  TBusyGuard busy(this);
  if (ShowMessageBox(kRemoveQuestion, MB_YESNO | MB_ICONWARNING) != IDYES || Closing()) return;
  if (index < (int)JunkTypes.size()) JunkTypes.erase(JunkTypes.begin() + index);
  JunkFilesListView->DeleteItem(index);
}

void TSysDiskCleanerForm::cbJunkFileSelectAllClick(TObject*) {
  bool checked = cbJunkFileSelectAll->Checked();
  for (int i = 0; i < JunkFilesListView->Count(); ++i) JunkFilesListView->SetChecked(i, checked);
}

void TSysDiskCleanerForm::JunkFilesListViewMouseDown(TObject*, TMouseButton button, int, int) {
  if (button == TMouseButton::Left) CopyRowChecks();
}

// ---- scan ----

void TSysDiskCleanerForm::FillScanList() {
  scanDrives_.clear();
  ScanListView->BeginUpdate();
  ScanListView->Clear();
  for (int i = 0; i < DiskListView->Count() && i < (int)drives_.size(); ++i) {
    if (!DiskListView->IsChecked(i)) continue;
    scanDrives_.push_back(drives_[i]);
    TListItem* row = ScanListView->AddItem(DiskListView->Item(i)->Caption);
    row->SubItems = {"", drives_[i].Drive};
    row->ImageIndex = DiskListView->Item(i)->ImageIndex;
    row->Update();
  }
  ScanListView->EndUpdate();
}

void TSysDiskCleanerForm::ScanDrives() {
  FoundFiles.clear();
  std::vector<std::string> patterns;
  for (int i = 0; i < JunkFilesListView->Count(); ++i)
    if (JunkFilesListView->IsChecked(i)) patterns.push_back(JunkFilesListView->Item(i)->Caption);
  TJunkMatcher matcher(patterns);
  pumpedOnce_ = false;
  for (int i = 0; i < (int)scanDrives_.size(); ++i) {
    if (State == TCleanerState::StopRequested || Closing()) break;
    TListItem* row = ScanListView->Item(i);
    row->SubItems[0] = StatusScanning;
    row->Update();
    ScanFolder(scanDrives_[i].Root, matcher, FoundFiles, [this](const TWalkEntry& e) { return WalkStep(e); });
    if (Closing()) return;
    row->SubItems[0] = State == TCleanerState::StopRequested ? StatusUserStop : StatusFinished;
    row->Update();
    Application.ProcessMessages();
  }
  if (!Closing()) ScanMessage->SetCaption("");
}

// Before each entry: keeps the window live (every few milliseconds) and says whether to go on.
bool TSysDiskCleanerForm::WalkStep(const TWalkEntry& entry) {
  DWORD now = GetTickCount();
  if (!pumpedOnce_ || now - lastPump_ >= kPumpIntervalMs) {
    pumpedOnce_ = true;
    lastPump_ = now;
    if (entry.Shown) ScanMessage->SetCaption(entry.Path());
    Application.ProcessMessages();
  }
  return State != TCleanerState::StopRequested && !Closing();
}

// ---- report ----

void TSysDiskCleanerForm::BuildReport() {
  ReportListView->BeginUpdate();
  ReportListView->Clear();
  for (int i = 0; i < (int)scanDrives_.size(); ++i) {
    TDriveTotals totals = CountDriveFiles(FoundFiles, scanDrives_[i].Drive);
    if (!totals.Any()) continue;
    TListItem* row = ReportListView->AddItem(ScanListView->Item(i)->Caption);
    row->SubItems = {IntToStr(totals.Count), KilobyteText(totals.Bytes), scanDrives_[i].Drive};
    row->ImageIndex = ScanListView->Item(i)->ImageIndex;
    row->Checked = true;
    row->Update();
  }
  ReportListView->EndUpdate();
  UpdateReportStatus();
}

void TSysDiskCleanerForm::UpdateReportStatus() {
  if (ReportListView->Count() == 0) return;
  long long count = 0, kilobytes = 0;
  for (int i = 0; i < ReportListView->Count(); ++i) {
    if (!ReportListView->IsChecked(i)) continue;
    const TListItem* row = ReportListView->Item(i);
    count += StrToIntDef(row->Text(1), 0);
    kilobytes += StrToIntDef(Trim(StringReplace(row->Text(2), "KB", "")), 0);
  }
  ReportStatusBar->SetPanelText(1, IntToStr(count));
  ReportStatusBar->SetPanelText(2, IntToStr(kilobytes) + " KB");
}

void TSysDiskCleanerForm::ReportListViewMouseDown(TObject*, TMouseButton button, int, int) {
  if (button == TMouseButton::Left) UpdateReportStatus();
}

void TSysDiskCleanerForm::ReportListViewDblClick(TObject*) {
  TListItem* row = ReportListView->Selected();
  if (row != nullptr) ShowFoundFiles(row->Text(3));
}

void TSysDiskCleanerForm::Label23Click(TObject*) {
  if (!FoundFiles.empty()) ShowFoundFiles("");
}

void TSysDiskCleanerForm::ShowFoundFiles(const std::string& drive) {
  TBusyGuard busy(this);
  TFormPtr<TDetailTempFileForm> details(new TDetailTempFileForm(nullptr));
  details->LoadFiles(FoundFiles, drive);
  details->ShowModal();
}

// ---- cleanup ----

void TSysDiskCleanerForm::RadioButton1Click(TObject*) { panJunkMoveFolder->SetCaption(""); }

void TSysDiskCleanerForm::RadioButton3Click(TObject*) {
  if (!RadioButton3->Checked()) return;
  TBusyGuard busy(this);
  std::string folder = PickFolder ? PickFolder() : "";
  if (!folder.empty() && !Closing()) panJunkMoveFolder->SetCaption(folder);
}

TCleanupMode TSysDiskCleanerForm::CleanupMode() const {
  if (RadioButton1->Checked()) return TCleanupMode::Delete;
  if (RadioButton3->Checked()) return TCleanupMode::MoveToFolder;
  return TCleanupMode::RecycleBin;
}

void TSysDiskCleanerForm::ConfirmCleanup() {
  cleaned_.clear();
  CleanerListView->SetItemCount(0);
  RemovedLabel->SetCaption(kRemovedLine);
  bool confirmed = ShowMessageBox(kConfirm, kConfirmCaption, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
  if (Closing()) return;
  if (!confirmed) {
    RemovedLabel->SetCaption(kNothingRemoved);
    cleanupDeclined_ = true;
    UpdateWizardButtons();
    return;
  }
  State = TCleanerState::Cleaning;
  Cleanup();
}

void TSysDiskCleanerForm::Cleanup() {
  TCleanupMode mode = CleanupMode();
  std::string folder = Trim(panJunkMoveFolder->Caption());
  TMoveTargets targets;
  for (int i = 0; i < ReportListView->Count() && State != TCleanerState::StopCleaning; ++i) {
    if (!ReportListView->IsChecked(i)) continue;
    std::string drive = ReportListView->Item(i)->Text(3);
    for (const TJunkFileRecord& file : FoundFiles) {
      if (State == TCleanerState::StopCleaning) break;
      if (DrivePart(file.Path) != drive) continue;
      cleaned_.push_back({file.Path, CleanupFile(file, mode, folder, targets)});
    }
  }
  CleanerListView->SetItemCount((int)cleaned_.size());
  CleanerListView->Invalidate();
}

TToolPage* NewJunkFileCleanerPage(TControl* host) { return new TSysDiskCleanerForm(host); }
