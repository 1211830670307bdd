// The backup page: the partial and full backup lists, the full export, restore and remove.
#include <algorithm>

#include "../framework/Dialogs.h"
#include "../framework/Handles.h"
#include "../framework/ImageList.h"
#include "../framework/ListedEntry.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "HintUnit.h"
#include "MainUnitBackup.h"
#include "RegBackupUnit.h"
#include "RegBackupUnitScript.h"

namespace RegBackupUnit {

std::string BackupSizeText(uint32_t size) {
  // size / unit rounded to the nearest whole number, halves to the even one
  auto rounded = [size](uint32_t unit) {
    uint32_t q = size / unit, r = size % unit;
    if (2ull * r > unit || (2ull * r == unit && (q & 1) != 0)) ++q;
    return (int)q;
  };
  if (size == 0) return "0 KB";
  if (size < 1024) return Format("%d B", (int)size);
  if (size < 1048576) return Format("%d KB", rounded(1024));
  return Format("%d MB", rounded(1048576));
}

TRegBackupForm* ShowRegBackupForm(TRegBackupForm* page, TControl* host, TForm* owner, const std::string& repairFolder) {
  if (page == nullptr) {
    page = new TRegBackupForm(host, owner);
    page->SetBounds(4, 26, 489, 337);
  }
  page->RepairFolder = repairFolder;
  if (page->Visible()) page->FormShow(page);
  else page->Show();   // its OnShow lists the partial backups
  return page;
}

}  // namespace RegBackupUnit

using namespace RegBackupUnit;

namespace {

const TColor kListColor = 0xFDE9E5;
const TColor kSelectedFill = 0xFFF2D9;
const std::vector<std::string> kIntroLines{
    "Zelvoran introduces powerful registry recovery management utilities, including repair backup ",
    "and full backup. ", "Instructions:",
    "Repair Backup: whenever any changes are made to the Windows registry, a backup file will be ",
    "automatically created, which can be used to go back to the previous configuration. ",
    "Full Backup: you can alternatively do a complete backup for the Windows registry; usually a full ",
    "backup will be created on your first-time cleaning."};
const std::string kTimeLabel = "Backup Time: ";
const std::string kSizeLabel = "File Size: ";
const std::string kPathLabel = "Path: ";
const std::string kNotRestored = "The registry was not restored completely!\r\r";
const std::string kLeftHeading = "These entries have changed since the backup and were left as they are now:\r";
const std::string kNotWrittenHeading = "These entries could not be written back:\r";
const char* const kRestoreTitle = "Registry Restore";
const char* const kReadingText = "Reading the backup file: %d%%";
const char* const kComparingText = "Comparing the backup with the registry: %d%%";
const char* const kImportingText = "Writing the entries back into the registry...";
const char* const kCheckingText = "Checking the entries written back: %d%%";
const char* const kUnchangedHint = "\rPlease make sure that the registry backup has not been modified or changed.";
const char* const kBackupFailed = "Creating registry backup was failed.";
const char* const kBackupDone = "The registry backup was created successfully!";
const char* const kRestoreQuestion = "Would you like to restore the registry now?";
const char* const kRestored = "The registry was restored successfully!";
const char* const kRemoveQuestion = "Are you sure to remove this backup file now?\rThis operation is not reversible!";
const char* const kRemoved = "The backup file was removed successfully!";
const char* const kCannotRemovePartial = "The backup file cannot";
const char* const kCannotRemoveFull = "The backup file can not";
const char* const kWaitTitle = "Registry Backup";
const char* const kWaitText = "Please wait until the backup operation is finished.";
const char* const kSelectItem = "Please select the specific item for this operation!";
const char* const kRemoveTail = " be deleted or does not exist!\rPlease make sure that the registry backup has not been modified or changed.";
const size_t kProblemsShown = 5;

TListView* NewBackupList(TControl* page) {
  auto* list = new TListView(page, {.OwnerDraw = true, .RowSelect = true, .ShowColumnHeaders = false});
  list->SetBounds(0, 0, 481, 146);
  list->AddColumn("", 461);
  list->SetColor(kListColor);
  list->Perform(LVM_SETBKCOLOR, 0, kListColor);
  list->SetStateImages(&DM->BackupStatImageList);
  list->SetRowHeight(56);
  return list;
}

// Adds the row of one file: its creation time, size text, folder and full path.
void AddBackupRow(TListView* list, const std::string& folder, const TFoundFile& file) {
  TListItem* row = list->AddItem(DateTimeToStr(PublicFunctionUnit::FileTimeToDateTime(file.CreationTime)));
  row->SubItems = {BackupSizeText((DWORD)file.Size), folder, folder + file.Name};
  row->Update();
}

// Reads whose backup a file is: the SID of its user note, "" without one; false when the file
// cannot be read now.
using TBackupUserReader = bool (*)(const std::string& fileName, std::string& sid);

// Lists the registry scripts of folder, in the order the file system gives them, but those noted
// as another user's (the program's folder is shared by every user of the machine). A file that
// cannot be read now is listed: its restore tells why. A missing folder gives an empty list.
void ListBackups(TListView* list, const std::string& folder, TBackupUserReader readUser) {
  list->BeginUpdate();
  list->Clear();
  ForEachFile(folder, "*.reg", [&](const TFoundFile& file) {
    if (file.IsFolder()) return true;
    std::string sid;   // of exactly the entry listed
    if (readUser(Narrow(ListedEntry::ExactPath(folder, file.Name)), sid) && !PublicFunctionUnit::IsCurrentUsersSid(sid))
      return true;
    AddBackupRow(list, folder, file);
    return true;
  });
  list->EndUpdate();
}

// The first items of a list, each ended by "\r", then "and N more\r" for the rest, those it does
// not hold (unlisted) among them.
std::string ListText(const std::vector<std::string>& items, size_t unlisted) {
  if (unlisted == 0) return MainUnit::ShortList(items, kProblemsShown);
  std::string text;
  for (size_t i = 0; i < items.size() && i < kProblemsShown; ++i) text += items[i] + "\r";
  return text + Format("and %d more\r", (int)(items.size() - std::min(items.size(), kProblemsShown) + unlisted));
}

}  // namespace

std::string RegBackupUnit::RestoreFailureText(const TRestoreResult& result) {
  std::string text = kNotRestored;
  bool first = true;
  auto add = [&](const std::string& part) {
    text += (first ? "" : "\r") + part;
    first = false;
  };
  if (!result.NotWritten.empty()) add(kNotWrittenHeading + ListText(result.NotWritten, result.NotWrittenUnlisted));
  if (!result.Left.empty()) add(kLeftHeading + ListText(result.Left, result.LeftUnlisted));
  if (!result.Problems.empty())
    add(ListText(result.Problems, result.ProblemsUnlisted) + (result.FileRefused ? kUnchangedHint : ""));
  return text;
}

std::string RegBackupUnit::RestoreStepText(TRestoreStep step, int percent) {
  switch (step) {
    case TRestoreStep::Reading:
      return Format(kReadingText, percent);
    case TRestoreStep::Comparing:
      return Format(kComparingText, percent);
    case TRestoreStep::Importing:
      return kImportingText;
    case TRestoreStep::Checking:
      return Format(kCheckingText, percent);
  }
  return {};
}

TRestoreResult RegBackupUnit::RestoreShowingProgress(TForm* owner, TRestoreRoutine restore, const std::string& fileName) {
  TFormPtr<THintForm> hint(new THintForm(owner));
  hint->PanelHint->SetCaption(kRestoreTitle);
  hint->LabelMsg->SetCaption(RestoreStepText(TRestoreStep::Reading, 0));
  hint->Show();
  hint->Repaint();
  return restore(fileName, [&hint](TRestoreStep step, int percent) {
    std::string text = RestoreStepText(step, percent);
    if (hint->LabelMsg->Caption() == text) return;
    hint->LabelMsg->SetCaption(text);
    hint->Repaint();
  });
}

TRegBackupForm::TRegBackupForm(TControl* host, TForm* owner)
    : TForm({.Owner = owner, .Host = host, .Border = TBorderStyle::None, .ClassName = "TRegBackupForm"}) {
  SetCaption("Registry Backup");
  SetColor(clWhite);
  SetClientSize(473, 335);

  MemoPanel = new TPanel(this);
  MemoPanel->SetBounds(4, 4, 481, 106);
  MemoPanel->SetColor(clWhite);
  MemoPanel->SetEnabled(false);   // shows its text, takes no input
  Memo1 = new TMemo(MemoPanel);
  Memo1->SetBounds(0, 0, 481, 106);
  Memo1->SetBorder(false);
  Memo1->SetScrollBar(false);   // it cannot be scrolled inside its disabled panel
  Memo1->SetReadOnly(true);
  Memo1->SetColor(clWhite);
  Memo1->SetFont({.Height = 10, .Color = clNavy});
  Memo1->SetLines(kIntroLines);

  auto tab = [this](const char* name, int left) {
    auto* image = new TImage(this);
    image->Name = name;
    image->SetBounds(left, 114, 107, 31);
    image->SetCursor(TCursor::HandPoint);
    return image;
  };
  PartialSheet = tab("PartialSheet", 4);
  FullSheet = tab("FullSheet", 111);
  PartialSheet->OnClick = [this](TObject* s) { PartialSheetClick(s); };
  FullSheet->OnClick = [this](TObject* s) { FullSheetClick(s); };

  BackupNotebook = new TNotebook(this);
  BackupNotebook->SetBounds(4, 145, 481, 188);
  TPanel* partial = BackupNotebook->AddPage("Partial");
  TPanel* full = BackupNotebook->AddPage("Full");
  for (TPanel* p : {partial, full}) p->SetColor(clWhite);

  auto button = [](TControl* page, const char* name, int left, int picture, TNotifyEvent click) {
    return NewPictureButton(page, name, left, 151, 136, 33, DM->BackupImageList, picture, std::move(click));
  };
  auto draw = [this](TListView* list, int index, TCanvas& canvas, const RECT& rect, bool selected) {
    BackupListDrawItem(list, index, canvas, rect, selected);
  };

  PartialListView = NewBackupList(partial);
  PartialListView->OnDrawItem = draw;
  RestorePartialBtn = button(partial, "RestorePartialBtn", 198, 2, [this](TObject* s) { RestorePartialBtnClick(s); });
  RemovePartialBtn = button(partial, "RemovePartialBtn", 345, 4, [this](TObject* s) { RemovePartialBtnClick(s); });

  BackupDataListView = NewBackupList(full);
  BackupDataListView->OnDrawItem = draw;
  BackupRegistryBtn = button(full, "BackupRegistryBtn", 51, 0, [this](TObject* s) { BackupRegistryBtnClick(s); });
  RestoreRegistryBtn = button(full, "RestoreRegistryBtn", 198, 2, [this](TObject* s) { RestoreRegistryBtnClick(s); });
  RemoveBackupBtn = button(full, "RemoveBackupBtn", 345, 4, [this](TObject* s) { RemoveBackupBtnClick(s); });

  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  SelectPartialTab();
  DoCreate();
}

std::string TRegBackupForm::PartialFolder() const {
  return IncludeTrailingBackslash(RepairFolder.empty() ? MainUnit::RepairBackupFolder() : RepairFolder);
}

std::string TRegBackupForm::FullBackupsFolder() const {
  return IncludeTrailingBackslash(FullFolder.empty() ? FullBackupFolder() : FullFolder);
}

void TRegBackupForm::SetColumnWidths() {
  for (TListView* list : {PartialListView, BackupDataListView}) list->SetColumnWidth(0, list->Width() - 20);
}

void TRegBackupForm::FormShow(TObject*) {
  BackupNotebook->SetPageIndex(0);
  SetColumnWidths();
  SelectPartialTab();
  LoadRepairBackups();
}

void TRegBackupForm::FormResize(TObject*) { SetColumnWidths(); }

void TRegBackupForm::PartialSheetClick(TObject*) {
  if (Busy()) return;
  SelectPartialTab();
  LoadRepairBackups();
}

void TRegBackupForm::FullSheetClick(TObject*) {
  if (Busy()) return;
  SelectFullTab();
  LoadFullBackups();
}

void TRegBackupForm::SelectPartialTab() {
  ShowImage(PartialSheet, DM->BackupTabImageList, 1);
  ShowImage(FullSheet, DM->BackupTabImageList, 2);
  BackupNotebook->SetPageIndex(0);
}

void TRegBackupForm::SelectFullTab() {
  ShowImage(PartialSheet, DM->BackupTabImageList, 0);
  ShowImage(FullSheet, DM->BackupTabImageList, 3);
  BackupNotebook->SetPageIndex(1);
}

void TRegBackupForm::LoadRepairBackups() {
  ListBackups(PartialListView, PartialFolder(), ReadScriptUser);   // noted after the header
  SetColumnWidths();
}

void TRegBackupForm::LoadFullBackups() {
  ListBackups(BackupDataListView, FullBackupsFolder(), ReadExportUser);   // noted at the end
}

TFullBackupResult TRegBackupForm::MakeFullBackup() {
  return RegBackupUnit::MakeFullBackup(FullBackupsFolder(), Clock(), ExportKey);
}

void TRegBackupForm::BackupRegistryBtnClick(TObject*) {
  if (Busy()) return;
  TBusyGuard busy(this);   // the export pumps messages while regedit runs
  TFullBackupResult backup;
  {
    TFormPtr<THintForm> hint(new THintForm(Owner()));
    hint->PanelHint->SetCaption(kWaitTitle);
    hint->LabelMsg->SetCaption(kWaitText);
    hint->Show();
    hint->Repaint();
    backup = MakeFullBackup();
  }
  if (Closing()) return;   // the program ends: nothing more is said
  if (!backup.Succeeded) {
    ShowMessageBox(kBackupFailed, 0);
    return;
  }
  const std::string folder = ExtractFilePath(backup.FileName);
  ForEachFile(folder, ExtractFileName(backup.FileName), [&](const TFoundFile& file) {
    AddBackupRow(BackupDataListView, folder, file);
    return false;
  });
  BackupNotebook->SetPageIndex(1);
  ShowMessageBox(kBackupDone, 0);
}

void TRegBackupForm::RestoreFrom(TListView* list, TRestoreRoutine restore) {
  TListItem* row = list->Selected();
  if (row == nullptr || row->SubItems.size() < 3) {
    ShowMessageBox(kSelectItem, 0);
    return;
  }
  if (ShowMessageBox(kRestoreQuestion, MB_YESNO | MB_ICONINFORMATION) != IDYES)
    return;
  TBusyGuard busy(this);   // regedit runs while messages are processed
  TRestoreResult result = RestoreShowingProgress(Owner(), restore, row->SubItems[2]);
  if (Closing()) return;
  if (result.Succeeded()) ShowMessageBox(kRestored, 0);
  else ShowMessageBox(RestoreFailureText(result), MB_ICONWARNING);
}

void TRegBackupForm::RestorePartialBtnClick(TObject*) {
  if (Busy()) return;
  RestoreFrom(PartialListView, RestoreUndoBackup);   // never over what changed since the repair
}

void TRegBackupForm::RestoreRegistryBtnClick(TObject*) {
  if (Busy()) return;
  RestoreFrom(BackupDataListView, RestoreRegistryScript);   // the whole registry as it was
  BackupNotebook->SetPageIndex(1);
}

void TRegBackupForm::RemoveFrom(TListView* list, const char* failureText) {
  int index = list->ItemIndex();
  TListItem* row = list->Selected();
  if (row == nullptr || row->SubItems.size() < 3) {
    ShowMessageBox(kSelectItem, 0);
    return;
  }
  std::string file = row->SubItems[2];
  if (ShowMessageBox(kRemoveQuestion, MB_YESNO | MB_ICONWARNING) != IDYES)
    return;
  const std::string folder = ExtractFilePath(file), name = ExtractFileName(file);
  if (ListedEntry::Attributes(folder, name) == INVALID_FILE_ATTRIBUTES) return;
  if (DeleteFileW(ListedEntry::ExactPath(folder, name).c_str())) {   // exactly the file listed
    list->DeleteItem(index);
    ShowMessageBox(kRemoved, 0);
  } else {
    ShowMessageBox(std::string(failureText) + kRemoveTail, MB_ICONWARNING);
  }
}

void TRegBackupForm::RemovePartialBtnClick(TObject*) {
  if (Busy()) return;
  RemoveFrom(PartialListView, kCannotRemovePartial);
}

void TRegBackupForm::RemoveBackupBtnClick(TObject*) {
  if (Busy()) return;
  RemoveFrom(BackupDataListView, kCannotRemoveFull);
  BackupNotebook->SetPageIndex(1);
}

void TRegBackupForm::BackupListDrawItem(TListView* list, int index, TCanvas& canvas, const RECT& rect, bool selected) {
  if (index >= list->Count()) return;
  const TListItem* row = list->Item(index);
  RECT r{rect.left + 2, rect.top + 4, rect.right - 2, rect.bottom - 4};
  canvas.Font = list->Font();
  canvas.Font.Color = selected ? clBlue : clBlack;
  canvas.BrushColor = selected ? kSelectedFill : clWhite;
  canvas.FillRect(r);
  DM->BackupStatImageList.Draw(canvas.Handle(), r.left + 8, r.top + 4, 0);
  canvas.Font.Bold = true;
  canvas.TextOut(r.left + 32, r.top + 4, kTimeLabel + row->Caption);
  canvas.Font.Bold = false;
  canvas.TextOut(r.left + 32, r.top + 18, kSizeLabel + row->Text(1));
  canvas.TextOut(r.left + 32, r.top + 32, kPathLabel + row->Text(2));
  canvas.PenColor = selected ? clBlue : kListColor;
  canvas.FrameRect(r);
}
