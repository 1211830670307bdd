// The uninstaller page: layout, the list over the entries, the details of the selected row and
// the two actions.
#include "InstalledManageUnit.h"

#include <shellapi.h>

#include "../../framework/Dialogs.h"
#include "../../framework/Handles.h"
#include "../../framework/PageBuilders.h"
#include "../../framework/Strings.h"

using namespace UninstallItemUnit;

namespace {

const char* const kCaption = "Manage Installed Programs";
const char* const kInstructions = "Instructions";
const char* const kInstruct1 = "First, choose one of the applications above that you want to uninstall.";
const char* const kInstruct2 = "Next, click on the \"Uninstall\" button.";
const char* const kSelectOne = "Please select one application to continue this operation.";
const char* const kRemoveQuestion =
    "Warning: It is going to remove the registry information of \"%s\". After removing, you won't be able to "
    "uninstall this program through \"Add or Remove programs\" in the Control Panel of your system.\r"
    "Are you sure to continue this operation?\r\r"
    "Suggestion: Please try uninstalling operation before carrying out this operation.";
const char* const kNotStarted = "The uninstaller of \"%s\" could not be started.\r\rReason: %s\rCommand: %s";
const char* const kNotRemoved = "The registry information of \"%s\" could not be removed.\r\rReason: %s";

struct TColumn {
  const char* Caption;
  int Width;
  TAlignment Alignment = TAlignment::LeftJustify;
};
const TColumn kColumns[] = {{"Program Name", 240}, {"Install Date", 90, TAlignment::Center}, {"Publisher", 100}};
const int kPublisherSlack = 20;

const int kMargin = 8, kListTop = 8, kListWidth = 473, kListHeight = 180;
const int kDetailsTop = 196, kTextLeft = 48, kValueLeft = 128, kLineHeight = 18;
const int kButtonTop = 300, kButtonWidth = 84, kButtonHeight = 25;
const int kIconSize = 32;

// A cell's text: empty where the registry has no value.
std::string Shown(const std::string& text) { return text == NotAvailable ? std::string() : text; }

// The program's own icon as a picture.
TBitmap ApplicationIcon() {
  TBitmap picture;
  TIconHandle icon((HICON)LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, kIconSize, kIconSize, 0));
  if (!icon) return picture;
  picture.SetSize(kIconSize, kIconSize, clFuchsia);
  picture.Transparent = true;
  TBitmapDC dc(picture);
  DrawIconEx(dc.Handle(), 0, 0, icon.Get(), kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
  return picture;
}

}  // namespace

TToolPage* NewUninstallerManagerPage(TControl* host) { return new TInstalledManageForm(host); }

TInstalledManageForm::TInstalledManageForm(TControl* host) : TToolPage(host, "TInstalledManageForm") {
  SetColor(clWhite);
  SetCaption(kCaption);
  ListInstalled = new TListView(this);
  ListInstalled->SetBounds(kMargin, kListTop, kListWidth, kListHeight);
  for (const TColumn& c : kColumns) ListInstalled->AddColumn(c.Caption, c.Width, c.Alignment);
  ListInstalled->SetSmallImages(&AppIconList);
  ListInstalled->SetLargeImages(&AppIconListEx);
  ListInstalled->OnColumnClick = [this](TListView*, int column) { ListInstalledColumnClick(column); };
  ListInstalled->OnSelectItem = [this](TListView*, int index, bool selected) { ListInstalledSelectItem(index, selected); };
  BuildDetails();
  BuildButtons();
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  DoCreate();
}

void TInstalledManageForm::BuildDetails() {
  picApplicationIcon = new TImage(this);
  picApplicationIcon->SetBounds(kMargin, kDetailsTop, kIconSize, kIconSize);
  int width = kListWidth + kMargin - kTextLeft;
  abProgramName = NewLabel(this, kInstructions, kTextLeft, kDetailsTop, width);
  abProgramName->SetFont({.Height = 13, .Bold = true});
  abInstruct1 = NewLabel(this, kInstruct1, kTextLeft, kDetailsTop + kLineHeight, width);
  abInstruct2 = NewLabel(this, kInstruct2, kTextLeft, kDetailsTop + 2 * kLineHeight, width);
  TLabel** captions[] = {&caVersion, &caPublisher, &caHomePage};
  TLabel** values[] = {&abVersion, &abPublisher, &abHomePage};
  const char* texts[] = {"Version", "Publisher", "Home Page"};
  for (int i = 0; i < 3; ++i) {
    int top = kDetailsTop + (i + 1) * kLineHeight;
    *captions[i] = NewLabel(this, texts[i], kTextLeft, top, kValueLeft - kTextLeft);
    *values[i] = NewLabel(this, "", kValueLeft, top, kListWidth + kMargin - kValueLeft);
  }
}

void TInstalledManageForm::BuildButtons() {
  ShowWindowsUpdate = NewCheckBox(this, "Show Windows Update", kMargin, kButtonTop + 2, 180);
  ShowWindowsUpdate->OnClick = [this](TObject* s) { ShowWindowsUpdateClick(s); };
  auto button = [this](const char* caption, int index, void (TInstalledManageForm::*handler)(TObject*)) {
    auto* b = new TButton(this);
    int right = kMargin + kListWidth - (2 - index) * (kButtonWidth + 4);
    b->SetBounds(right - kButtonWidth, kButtonTop, kButtonWidth, kButtonHeight);
    b->SetCaption(caption);
    b->OnClick = [this, handler](TObject* s) { (this->*handler)(s); };
    return b;
  };
  TbtRefresh = button("Refresh", 0, &TInstalledManageForm::TbtRefreshClick);
  TbtUninstall = button("Uninstall", 1, &TInstalledManageForm::TbtUninstallClick);
  TbrRemove = button("Remove", 2, &TInstalledManageForm::TbrRemoveClick);
}

// ---- listing ----

void TInstalledManageForm::FormShow(TObject*) {
  sort_ = TColumnSort();
  sort_.Click((int)TSortKey::Name);   // by name, ascending
  LoadSortAndFill();
}

void TInstalledManageForm::TbtRefreshClick(TObject*) { LoadSortAndFill(); }

void TInstalledManageForm::ShowWindowsUpdateClick(TObject*) { LoadSortAndFill(); }

void TInstalledManageForm::ListInstalledColumnClick(int column) {
  if (column < 0 || column >= (int)std::size(kColumns)) return;
  sort_.Click(column);
  SortAndFill();
}

void TInstalledManageForm::LoadSortAndFill() {
  LoadEntries(entries_, ShowWindowsUpdate->Checked());
  AppIconList.Clear();
  AppIconListEx.Clear();
  for (int i = 0; i < entries_.Count(); ++i) entries_.GetItem(i).ImageIndex = AddIcon(entries_.GetItem(i).Content.IconPath);
  SortAndFill();
}

void TInstalledManageForm::SortAndFill() {
  entries_.Sort((TSortKey)sort_.Column(), !sort_.Ascending());
  ListInstalled->BeginUpdate();
  ListInstalled->Clear();
  for (int i = 0; i < entries_.Count(); ++i) {
    const TUninstallContentItem& entry = entries_.GetItem(i);
    TListItem* row = ListInstalled->AddItem(entry.Content.DisplayName);
    std::string date = entry.Content.InstallDate == NotAvailable ? "" : FormatInstallDate(entry.Content.InstallDate);
    row->SubItems = {date, Shown(entry.Content.Publisher)};
    row->ImageIndex = entry.ImageIndex;
  }
  ListInstalled->EndUpdate();
  ShowInstructions();
}

int TInstalledManageForm::AddIcon(const std::string& path) {
  std::string file = IconFile(path);
  if (file.empty()) return -1;
  SHFILEINFOW info{};
  SHGetFileInfoW(Widen(file).c_str(), 0, &info, sizeof info, SHGFI_ICON);
  TIconHandle icon(info.hIcon);
  if (!icon) return -1;
  // one index for both lists: an icon only one list took would shift every later row's icon
  if (AppIconList.Count() != AppIconListEx.Count()) return -1;
  int small = AppIconList.AddIcon(icon.Get()), large = AppIconListEx.AddIcon(icon.Get());
  return small >= 0 && small == large ? small : -1;
}

void TInstalledManageForm::FormResize(TObject*) {
  ListInstalled->SetColumnWidth(2, ListInstalled->Width() - ListInstalled->ColumnWidth(0) -
                                       ListInstalled->ColumnWidth(1) - kPublisherSlack);
}

// ---- details ----

void TInstalledManageForm::ListInstalledSelectItem(int index, bool selected) {
  if (selected && index >= 0 && index < entries_.Count())
    ShowDetails(index);
  else if (!selected)
    ShowInstructions();
}

void TInstalledManageForm::ShowDetails(int index) {
  const TUninstallContentItem& entry = entries_.GetItem(index);
  ShowImage(picApplicationIcon, AppIconListEx, entry.ImageIndex);
  abProgramName->SetCaption(entry.Content.DisplayName);
  abInstruct1->SetVisible(false);
  abInstruct2->SetVisible(false);
  for (TLabel* label : {caVersion, caPublisher, caHomePage, abVersion, abPublisher, abHomePage}) label->SetVisible(true);
  abVersion->SetCaption(entry.Content.Version);
  abPublisher->SetCaption(entry.Content.Publisher);
  abHomePage->SetCaption(entry.Content.URLInfoAbout);
}

void TInstalledManageForm::ShowInstructions() {
  picApplicationIcon->SetPicture(ApplicationIcon());
  abProgramName->SetCaption(kInstructions);
  abInstruct1->SetVisible(true);
  abInstruct2->SetVisible(true);
  // the details share the instructions' lines: hidden, so that they leave those lines whole
  for (TLabel* label : {caVersion, caPublisher, caHomePage, abVersion, abPublisher, abHomePage}) label->SetVisible(false);
  for (TLabel* value : {abVersion, abPublisher, abHomePage}) value->SetCaption("");
}

// ---- actions ----

int TInstalledManageForm::SelectedEntry() {
  int index = ListInstalled->ItemIndex();
  if (index >= 0 && index < entries_.Count()) return index;
  ShowMessageBox(kSelectOne, MB_ICONWARNING);
  return -1;
}

void TInstalledManageForm::TbtUninstallClick(TObject*) {
  TBusyGuard busy(this);
  int index = SelectedEntry();
  if (index < 0) return;
  TContent entry = entries_.GetItem(index).Content;   // a copy: the list may change while a box is up
  std::string name = entry.DisplayName, command = CommandToRun(entry);
  TStartOutcome started = StartProgram(command);
  if (started.Process || Closing()) return;   // once started, its outcome is the uninstaller's to show
  // a command that could not be made (its program found nowhere) is shown as registered
  std::string shown = command.empty() ? Trim(RegisteredCommand(entry)) : command;
  std::string reason = SystemErrorText(started.Error, ExtractExecutablePath(shown));
  ShowMessageBox(Format(kNotStarted, name, reason, shown), MB_ICONWARNING);
}

void TInstalledManageForm::TbrRemoveClick(TObject*) {
  TBusyGuard busy(this);
  int index = SelectedEntry();
  if (index < 0) return;
  std::string keyName = entries_.GetItem(index).Content.KeyName;
  std::string name = ListInstalled->Item(index)->Caption;
  if (ShowMessageBox(Format(kRemoveQuestion, name), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES || Closing())
    return;
  if (LONG error = RemoveEntry(keyName); error != ERROR_SUCCESS) {
    ShowMessageBox(Format(kNotRemoved, name, SystemErrorText(error)), MB_ICONWARNING);
    return;
  }
  // the entry the question named, wherever the list holds it now
  for (int i = 0; i < entries_.Count(); ++i)
    if (entries_.GetItem(i).Content.KeyName == keyName) {
      entries_.Delete(i);
      ListInstalled->DeleteItem(i);
      break;
    }
  ShowInstructions();
}
