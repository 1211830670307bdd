#include "SystemSpeedUnit.h"

#include "../../app/MainUnitBackup.h"
#include "../../framework/Dialogs.h"
#include "../../framework/PageBuilders.h"
#include "../../framework/ScrollBox.h"
#include "../../scan/PublicFunctionUnit.h"
#include "SpeedItemUnit.h"

using namespace SystemSpeedUnit;

namespace {

const char* const kCaption = "Optimize System ";
const char* const kFastOptimize = "Fast Optimize";
const char* const kBack = "Back";
const char* const kOptimize = "Optimize";
const char* const kNext = "Next";
const char* const kReset = "Reset";
const char* const kReturn = "Return";
const char* const kRestore = "Restore";
const char* const kDeleteItem = "Delete Item";
const char* const kSelectModel = "Select the optimization model";
const char* const kResetItem = "Reset Item";

const char* const kTweakHeadings[] = {"System Vision Optimization Options", "System Performance Optimization Options",
                                      "System Network Optimization Options", "Other System Optimization Options"};
// The tweak boxes under each heading, row by row in three columns (box numbers from 1).
const std::vector<std::vector<int>> kTweakGroups = {
    {1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18}, {19, 20, 25, 21, 22, 27, 23, 24, 26}};

const int kButtonWidth = 89;
const int kButtonHeight = 28;
const int kBarHeight = 54;
const int kPageWidth = 489;
const int kRowHeight = 20;
const int kTweakRowHeight = 28;
const int kHoverMemoHeight = 70;

}  // namespace

TOptimizeForm::TOptimizeForm(TControl* host) : TToolPage(host, "TOptimizeForm") {
  SetColor(clWhite);
  SetCaption(kCaption);
  BuildButtonBar();
  Notebook1 = new TNotebook(this);
  Notebook1->SetAlign(TAlign::Client);
  for (const char* name : {"1", "2", "3", "4"}) Notebook1->AddPage(name)->SetColor(clWhite);
  BuildModelPage(Notebook1->Page(0));
  BuildServicePage(Notebook1->Page(1));
  BuildTweakPage(Notebook1->Page(2));
  BuildBackupPage(Notebook1->Page(3));
  Notebook1->OnPageChanged = [this](TObject*) { Notebook1PageChanged(); };
  OnCreate = [this](TObject*) { FormCreate(); };
  DoCreate();
}

// ---- layout ----

void TOptimizeForm::BuildButtonBar() {
  auto* Panel3 = new TPanel(this);
  Panel3->SetColor(clWhite);
  Panel3->SetBounds(0, 0, kPageWidth, kBarHeight);
  Panel3->SetAlign(TAlign::Bottom);
  auto* Panel10 = new TPanel(Panel3);
  Panel10->SetColor(clWhite);
  Panel10->SetBounds(0, 0, 4 * (kButtonWidth + 6) + 6, kBarHeight);
  Panel10->SetAlign(TAlign::Right);
  auto button = [&](const char* caption, int slot, std::function<void()> handler) {
    auto* b = new TButton(Panel10);
    b->SetBounds(6 + slot * (kButtonWidth + 6), 13, kButtonWidth, kButtonHeight);
    b->SetCaption(caption);
    b->OnClick = [handler](TObject*) { handler(); };
    return b;
  };
  btnOneClick = button(kFastOptimize, 0, [this] { btnOneClickClick(); });
  ReturnBtn = button(kBack, 1, [this] { ReturnBtnClick(); });
  btnExe = button(kOptimize, 2, [this] { btnExeClick(); });
  btnOptimize = button(kNext, 2, [this] { btnOptimizeClick(); });
  btnDefault = button(kReset, 3, [this] { btnDefaultClick(); });
}

TMemo* TOptimizeForm::NewReadOnlyMemo(TControl* parent, int left, int top, int width, int height) {
  auto* memo = new TMemo(parent);
  memo->SetBounds(left, top, width, height);
  memo->SetReadOnly(true);
  return memo;
}

void TOptimizeForm::BuildModelPage(TPanel* page) {
  auto* Panel6 = new TPanel(page);
  Panel6->SetBounds(8, 6, kPageWidth - 16, 64);
  Memo1 = NewReadOnlyMemo(Panel6, 0, 0, kPageWidth - 16, 64);
  Panel6->SetEnabled(false);
  RGMode = new TRadioGroup(page);
  RGMode->SetBounds(8, 74, kPageWidth - 16, 96);
  RGMode->SetCaption(kSelectModel);
  RGMode->SetColor(clWhite);
  RGMode->Columns = 3;
  std::vector<std::string> captions;
  for (const TModel& model : Models) captions.push_back(model.Caption);
  RGMode->SetItems(captions);
  RGMode->OnClick = [this](TObject*) { RGModeClick(); };
  auto* Panel9 = new TPanel(page);
  Panel9->SetBounds(8, 176, kPageWidth - 16, 100);
  MemoText = NewReadOnlyMemo(Panel9, 0, 0, kPageWidth - 16, 100);
  Panel9->SetEnabled(false);
}

void TOptimizeForm::BuildServicePage(TPanel* page) {
  auto* ScrollBox1 = new TScrollBox(page);
  ScrollBox1->SetColor(clWhite);
  ScrollBox1->SetBounds(4, 4, kPageWidth - 8, 283 - kHoverMemoHeight - 12);
  NewLabel(ScrollBox1, kSelectModel, 8, 4, 400);
  for (int i = 0; i < ServiceBoxCount; ++i) {
    chk[i] = NewCheckBox(ScrollBox1, ServiceBoxes[i].Caption, 8, 24 + i * kRowHeight, kPageWidth - 40);
    chk[i]->OnClick = [this, i](TObject*) {
      if (!showingSystemState_) serviceDriven_[i] = true;
    };
    chk[i]->OnMouseMove = [this, i](TObject*, int, int) { MemoSer->SetText(ServiceBoxes[i].Hover); };
  }
  ScrollBox1->SetContentHeight(28 + ServiceBoxCount * kRowHeight);
  auto* GroupBox3 = NewGroup(page, "", 4, 283 - kHoverMemoHeight - 4, kPageWidth - 8, kHoverMemoHeight);
  MemoSer = NewReadOnlyMemo(GroupBox3, 6, 12, kPageWidth - 20, kHoverMemoHeight - 16);
  GroupBox3->SetEnabled(false);
}

void TOptimizeForm::BuildTweakPage(TPanel* page) {
  auto* Panel8 = new TPanel(page);
  Panel8->SetBounds(4, 4, kPageWidth - 8, 283 - kHoverMemoHeight - 12);
  auto* ScrollBox2 = new TScrollBox(Panel8);
  ScrollBox2->SetColor(clWhite);
  ScrollBox2->SetBounds(0, 0, kPageWidth - 8, 283 - kHoverMemoHeight - 12);
  const int columnWidth = (kPageWidth - 36) / 3;
  int top = 4;
  for (size_t g = 0; g < kTweakGroups.size(); ++g) {
    NewLabel(ScrollBox2, kTweakHeadings[g], 8, top, 400)->SetFont({.Bold = true});
    top += kRowHeight;
    const std::vector<int>& boxes = kTweakGroups[g];
    for (size_t k = 0; k < boxes.size(); ++k) {
      int i = boxes[k] - 1;
      Ochk[i] = NewCheckBox(ScrollBox2, TweakBoxes[i].Caption, 8 + int(k % 3) * columnWidth,
                            top + int(k / 3) * kTweakRowHeight, columnWidth - 4, kTweakRowHeight - 2);
      // Long captions wrap onto a second line within their column.
      SetWindowLongW(Ochk[i]->Handle(), GWL_STYLE, GetWindowLongW(Ochk[i]->Handle(), GWL_STYLE) | BS_MULTILINE);
      Ochk[i]->OnMouseMove = [this, i](TObject*, int, int) { MemoReg->SetText(TweakBoxes[i].Hover); };
    }
    top += int((boxes.size() + 2) / 3) * kTweakRowHeight + 4;
  }
  ScrollBox2->SetContentHeight(top);
  auto* Panel11 = new TPanel(page);
  Panel11->SetBounds(4, 283 - kHoverMemoHeight - 4, kPageWidth - 8, kHoverMemoHeight);
  MemoReg = NewReadOnlyMemo(Panel11, 0, 0, kPageWidth - 8, kHoverMemoHeight);
}

void TOptimizeForm::BuildBackupPage(TPanel* page) {
  ListView1 = new TListView(page, {.RowSelect = true, .MultiSelect = true, .GridLines = true});
  ListView1->SetBounds(4, 4, kPageWidth - 8, 236);
  ListView1->AddColumn(kResetItem, 200);
  ListView1->AddColumn("", 300);
  BtnRestore = new TButton(page);
  BtnRestore->SetBounds(kPageWidth - 2 * (kButtonWidth + 6), 246, kButtonWidth, kButtonHeight);
  BtnRestore->SetCaption(kRestore);
  BtnRestore->OnClick = [this](TObject*) { BtnRestoreClick(); };
  btndelete = new TButton(page);
  btndelete->SetBounds(kPageWidth - (kButtonWidth + 6), 246, kButtonWidth, kButtonHeight);
  btndelete->SetCaption(kDeleteItem);
  btndelete->OnClick = [this](TObject*) { btndeleteClick(); };
}

// ---- wizard ----

void TOptimizeForm::FormCreate() {
  Memo1->SetText(IntroductionText);
  ShowStep(TOptimizeStep::Model);
  btnExe->Hide();
  btnOptimize->Show();
  RGMode->SetItemIndex(1);
  MemoText->SetText(Models[1].Description);
  ShowSystemServiceState();
}

// Ticks each service box whose service is installed and not disabled; such a box only shows the
// system's state and is not acted on until a model or the user sets it.
void TOptimizeForm::ShowSystemServiceState() {
  showingSystemState_ = true;
  for (int i = 0; i < ServiceBoxCount; ++i) {
    UnitServicesOptimize::TServiceState state = UnitServicesOptimize::QueryServiceState(ServiceBoxes[i].Service);
    chk[i]->SetChecked(state.Installed && state.StartType != SERVICE_DISABLED);
    serviceDriven_[i] = false;
  }
  showingSystemState_ = false;
}

void TOptimizeForm::ShowStep(TOptimizeStep step) { Notebook1->SetPageIndex((int)step); }

void TOptimizeForm::RGModeClick() {
  MemoText->Clear();
  int model = RGMode->ItemIndex();
  if (model >= 0 && model < ModelCount) MemoText->SetText(Models[model].Description);
}

void TOptimizeForm::btnOptimizeClick() {
  if (Step() == TOptimizeStep::Model) {
    ShowStep(TOptimizeStep::Services);
    btnDefault->SetEnabled(false);
    PresetServiceBoxes(RGMode->ItemIndex());
  } else if (Step() == TOptimizeStep::Services) {
    ShowStep(TOptimizeStep::Tweaks);
    btnExe->Show();
    btnDefault->SetEnabled(false);
    btnOptimize->Hide();
  }
}

void TOptimizeForm::ReturnBtnClick() {
  btnExe->Hide();
  btnOptimize->Show();
  if (Step() == TOptimizeStep::Services) {
    ShowStep(TOptimizeStep::Model);
    btnOptimize->SetEnabled(true);
    btnOneClick->SetEnabled(true);
    btnDefault->SetEnabled(true);
  } else if (Step() == TOptimizeStep::Tweaks) {
    ShowStep(TOptimizeStep::Services);
    btnOneClick->SetEnabled(true);
  }
}

void TOptimizeForm::Notebook1PageChanged() {
  if (Step() == TOptimizeStep::Tweaks) PresetTweakBoxes(RGMode->ItemIndex());
}

void TOptimizeForm::btnDefaultClick() {
  bool toBackups = Step() != TOptimizeStep::Backups;
  btnDefault->SetCaption(toBackups ? kReturn : kReset);
  ShowStep(toBackups ? TOptimizeStep::Backups : TOptimizeStep::Model);
  for (TButton* b : {btnExe, btnOneClick, btnOptimize, ReturnBtn}) b->SetEnabled(!toBackups);
  if (toBackups) ListSpeedBackups();
}

// ---- presets and runs ----

void TOptimizeForm::PresetServiceBoxes(int model) {
  if (model < 0 || model >= CustomizationModel) return;
  for (int i = 0; i < ServiceBoxCount; ++i) {
    chk[i]->SetChecked(ServicePresets[i][model] == TPreset::On);
    serviceDriven_[i] = true;
  }
}

void TOptimizeForm::PresetTweakBoxes(int model) {
  if (model < 1 || model >= ModelCount) return;
  for (int i = 0; i < TweakBoxCount; ++i) Ochk[i]->SetChecked(TweakPresets[i][model] == TPreset::On);
}

int TOptimizeForm::ApplyServiceBoxes(const std::string& backupFile, std::vector<std::string>* refusedServices) {
  std::array<TServiceChoice, ServiceBoxCount> boxes;
  for (int i = 0; i < ServiceBoxCount; ++i) boxes[i] = {chk[i]->Checked(), serviceDriven_[i]};
  return ApplyServiceChoices(boxes, backupFile, refusedServices);
}

int TOptimizeForm::ApplyTweakBoxes() {
  std::array<bool, TweakBoxCount> checked;
  for (int i = 0; i < TweakBoxCount; ++i) checked[i] = Ochk[i]->Checked();
  return ApplyTweakChoices(checked);
}

std::string TOptimizeForm::Folder() const { return BackupFolder.empty() ? SpeedBackupFolder() : BackupFolder; }

void TOptimizeForm::StartRun() {
  TDateTime stamp = Clock();
  CreateDirectoryW(Widen(ExcludeTrailingBackslash(Folder())).c_str(), nullptr);
  // each run a file of its own: never one of an earlier run, which may be another user's
  std::string folder = Folder();
  SpeedItemUnit::SpeedBackupFile =
      MainUnit::FreeBackupFileName([&folder](TDateTime t) { return SpeedBackupFileName(folder, t); }, stamp);
}

void TOptimizeForm::RunOptimization(const char* successText) {
  int refused = ApplyServiceBoxes(SpeedItemUnit::SpeedBackupFile);
  refused += ApplyTweakBoxes();
  if (refused == 0)
    ShowMessageBox(successText, 0);
  else
    ShowMessageBox(Format(NotOptimizedText, refused), MB_ICONWARNING);
}

void TOptimizeForm::btnExeClick() {
  StartRun();
  RunOptimization(OptimizedText);
  btnDefault->SetEnabled(true);
}

void TOptimizeForm::btnOneClickClick() {
  StartRun();
  PresetServiceBoxes(RGMode->ItemIndex());
  PresetTweakBoxes(RGMode->ItemIndex());
  RunOptimization(FastOptimizedText);
}

// ---- backups ----

void TOptimizeForm::ListSpeedBackups() {
  ListView1->BeginUpdate();
  ListView1->Clear();
  for (const TSpeedBackupRow& row : ListSpeedBackupFiles(Folder())) {
    TListItem* item = ListView1->AddItem(row.Name);
    item->SubItems = {row.Path};
  }
  ListView1->EndUpdate();
}

std::string TOptimizeForm::SelectedBackup() const {
  int index = ListView1->ItemIndex();
  return index < 0 ? std::string() : ListView1->Item(index)->Text(1);
}

void TOptimizeForm::RestoreSpeedBackup(const std::string& fileName) {
  TSpeedRestore result = RestoreSpeedFile(fileName);
  if (result.Unreadable || result.OtherUser) {
    const char* text = result.Unreadable ? RestoreUnreadableText : PublicFunctionUnit::OtherUsersBackupText;
    ShowMessageBox(Format(text, fileName), MB_ICONWARNING);
    return;
  }
  if (result.Marked || result.ServicesRestored) {
    ShowSystemServiceState();
  } else {
    // A file of an earlier version saved no service: every service a box drives is switched on,
    // as such files were always restored.
    PresetServiceBoxes(0);
    ApplyServiceBoxes("", &result.NotRestored);
  }
  if (result.NotRestored.empty()) {
    ShowMessageBox(RestoredText, 0);
    return;
  }
  std::string lines;
  for (const std::string& line : result.NotRestored) lines += (lines.empty() ? "" : "\r\n") + line;
  ShowMessageBox(Format(NotRestoredText, lines), MB_ICONWARNING);
}

void TOptimizeForm::BtnRestoreClick() {
  if (ListView1->ItemIndex() < 0) {
    ShowMessageBox(ChooseFirstText, 0);
    return;
  }
  std::string file = SelectedBackup();
  if (FileExists(file)) RestoreSpeedBackup(file);
}

void TOptimizeForm::btndeleteClick() {
  if (ListView1->ItemIndex() < 0) {
    ShowMessageBox(ChooseFirstText, 0);
    return;
  }
  if (!DeleteFileW(Widen(SelectedBackup()).c_str())) return;
  ShowMessageBox(DeletedText, 0);
  ListSpeedBackups();
}

TToolPage* NewSystemOptimizerPage(TControl* host) { return new TOptimizeForm(host); }
