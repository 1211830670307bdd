// The results page: the sections with findings, each section's findings drawn with their detail
// lines and tick box, the severity and description pane, and the exclusion into the ignore file.
#include "../framework/Application.h"
#include "../framework/Dialogs.h"
#include "../framework/Exceptions.h"
#include "../framework/ImageList.h"
#include "../framework/StringList.h"
#include "../scan/PublicFunctionUnit.h"
#include "DMUnit.h"
#include "MainUnit.h"

using namespace MainUnit;

namespace {
constexpr char kLineBreakInName[] =
    "This entry cannot be added to the ignore list: its key or value name holds a line break.";
constexpr char kIgnoreListNotSaved[] = "The ignore list could not be saved, so the entry was not excluded.";
}  // namespace

void TZelvoranMainForm::BuildResultsPage(TPanel* page) {
  Panel3 = new TPanel(page);
  Panel3->SetBounds(0, 0, 497, 323);
  Panel3->SetColor(clWhite);

  RepairGrid = new TListView(Panel3, {.RowSelect = true});
  RepairGrid->SetBounds(4, 4, 489, 89);
  RepairGrid->AddColumn("Section Name (Click below to see details)", 340);
  RepairGrid->AddColumn("Problems Found", 130, TAlignment::Center);
  RepairGrid->OnSelectItem = [this](TListView*, int index, bool selected) { RepairGridSelectItem(index, selected); };
  RepairGrid->OnCustomDrawSubItem = [](TListView*, int, int column, TColor& color) {
    color = column == 1 ? clRed : clBlack;
  };

  ProblemsPanel = new TPanel(Panel3);
  ProblemsPanel->SetBounds(4, 93, 489, 20);
  ProblemsPanel->SetFont({.Bold = true});
  ProblemsPanel->Alignment = TAlignment::LeftJustify;
  ProblemsPanel->SetCaption("  Details of Problems found");
  abExcludeMsg = new TLabel(ProblemsPanel);
  abExcludeMsg->SetBounds(170, 3, 230, 15);
  abExcludeMsg->Alignment = TAlignment::RightJustify;
  abExcludeMsg->AutoSize = true;   // as wide as its text: the panel's caption shows beside it
  abExcludeMsg->SetCaption("Right click to ignore key");
  abShowHideDetails = new TLabel(ProblemsPanel);
  abShowHideDetails->SetBounds(404, 3, 82, 15);
  abShowHideDetails->Alignment = TAlignment::RightJustify;
  abShowHideDetails->SetFont({.Bold = true, .Underline = true, .Color = clBlue});
  abShowHideDetails->SetCursor(TCursor::HandPoint);
  abShowHideDetails->SetCaption("Hide Details");
  abShowHideDetails->OnClick = [this](TObject* s) { abShowHideDetailsClick(s); };

  // Owner data: each row is drawn from its finding, whose Checked is the only copy of the tick.
  ProblemsListBox = new TListView(Panel3, {.OwnerData = true, .OwnerDraw = true, .RowSelect = true,
                                           .ShowColumnHeaders = false});
  ProblemsListBox->SetBounds(4, 113, 357, 206);
  ProblemsListBox->AddColumn("", 1000);
  ProblemsListBox->SetStateImages(&DM->ProblemsImageList);
  ProblemsListBox->SetRowHeight(70);
  ProblemsListBox->OnData = [this](TListView*, int index, TListItem& item) {
    int section = SelectedSection();
    if (section >= 0) item.StateIndex = FindingChecked(section, index) ? 1 : 0;
  };
  ProblemsListBox->OnDrawItem = [this](TListView*, int index, TCanvas& canvas, const RECT& rect, bool selected) {
    ProblemsListBoxDrawItem(index, canvas, rect, selected);
  };
  ProblemsListBox->OnSelectItem = [this](TListView*, int index, bool selected) {
    ProblemsListBoxSelectItem(index, selected);
  };
  ProblemsListBox->OnMouseDown = [this](TObject*, TMouseButton button, int x, int y) {
    ProblemsListBoxMouseDown(button, x, y);
  };
  ProblemsListBox->OnContextMenu = [this](TObject*, int x, int y) { ProblemsListBoxContextMenu(x, y); };

  panDetails = new TPanel(Panel3);
  panDetails->SetBounds(361, 113, 132, 206);
  panDetails->SetColor(clWhite);
  abSeverity = new TLabel(panDetails);
  abSeverity->SetBounds(6, 6, 60, 15);
  abSeverity->SetFont({.Bold = true});
  abLevel = new TLabel(panDetails);
  abLevel->SetBounds(66, 6, 60, 15);
  abLevel->SetFont({.Bold = true});
  LevleImage = new TImage(panDetails);
  LevleImage->SetBounds(6, 24, 36, 12);
  abDescription = new TLabel(panDetails);
  abDescription->SetBounds(6, 44, 120, 15);
  abDescription->SetFont({.Bold = true});
  auto* memoHolder = new TPanel(panDetails);
  memoHolder->SetBounds(4, 60, 126, 144);
  memoHolder->SetColor(clWhite);
  memoHolder->SetEnabled(false);   // shows its text, takes no input
  DetailsMemo = new TMemo(memoHolder);
  DetailsMemo->SetBounds(0, 0, 126, 144);
  DetailsMemo->SetBorder(false);
  DetailsMemo->SetReadOnly(true);
  DetailsMemo->SetColor(clWhite);
  DetailsMemo->SetScrollBar(false);   // it cannot be scrolled inside its disabled holder
}

int TZelvoranMainForm::SelectedSection() const {
  TListItem* row = RepairGrid->Selected();
  if (row == nullptr || row->SubItems.size() < 2) return -1;
  return (int)StrToInt(row->SubItems[1]);
}

int TZelvoranMainForm::RowSection(int row) const {
  const TListItem* item = RepairGrid->Item(row);
  if (item == nullptr || item->SubItems.size() < 2) return -1;
  return (int)StrToIntDef(item->SubItems[1], -1);
}

void TZelvoranMainForm::RepairGridSelectItem(int, bool) {
  int section = SelectedSection();
  if (section >= 0) {
    FillProblemList((unsigned)section);
  } else {
    ProblemsPanel->SetCaption("");
    ProblemsListBox->Clear();
  }
}

void TZelvoranMainForm::FillProblemList(unsigned section) {
  ProblemsListBox->Clear();
  if (section < (unsigned)SectionCount && SectionResults != nullptr)
    ProblemsListBox->SetItemCount((*SectionResults)[section].Count());
  if (ProblemsListBox->Count() < 1) {
    ProblemsPanel->SetCaption("");
  } else {
    ProblemsPanel->SetCaption(Format("%d Problems Found", ProblemsListBox->Count()));
    ProblemsListBox->SetItemIndex(0);
  }
}

void TZelvoranMainForm::GetFindingText(int section, int index, std::string& keyPathLine, std::string& valueNameLine,
                                       std::string& valueLine, std::string& faultLine) {
  const TContent& f = (*SectionResults)[section].GetItem(index).Content;
  keyPathLine = f.KeyPathLine;
  valueNameLine = f.ValueNameLine;
  valueLine = f.ValueLine;
  faultLine = f.FaultLine;
}

bool TZelvoranMainForm::FindingChecked(int section, int index) const {
  const TRegistryContents& findings = (*SectionResults)[section];
  return index >= 0 && index < findings.Count() && findings.GetItem(index).Content.Checked;
}

void TZelvoranMainForm::SetFindingChecked(int section, int index, bool checked) {
  (*SectionResults)[section].GetItem(index).Content.Checked = checked;
}

void TZelvoranMainForm::ProblemsListBoxDrawItem(int index, TCanvas& canvas, const RECT& rect, bool selected) {
  int section = SelectedSection();
  if (index >= ProblemsListBox->Count() || section < 0) return;
  std::string keyPathLine, valueNameLine, valueLine, faultLine;
  GetFindingText(section, index, keyPathLine, valueNameLine, valueLine, faultLine);
  RECT r{rect.left + 2, rect.top + 4, rect.right - 2, rect.bottom - 4};
  canvas.Font = ProblemsListBox->Font();
  canvas.Font.Color = selected ? clBlue : clBlack;
  canvas.BrushColor = selected ? 0xFFF2D9 : clWindow;
  canvas.FillRect(r);
  int state = FindingChecked(section, index) ? 1 : 0;
  if (state >= 0 && state < DM->ProblemsImageList.Count()) {
    DM->ProblemsImageList.Draw(canvas.Handle(), r.left + 8, r.top + 25, state);
  } else {
    // No skin: a plain tick box where the picture's box would be.
    canvas.PenColor = clGray;
    canvas.FrameRect({r.left + 8, r.top + 25, r.left + 24, r.top + 41});
    if (state == 1) canvas.TextRect({r.left + 8, r.top + 25, r.left + 24, r.top + 41}, "v", DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  canvas.Font.Bold = true;
  canvas.TextOut(r.left + 32, r.top + 4, keyPathLine);
  canvas.Font.Bold = false;
  canvas.TextOut(r.left + 32, r.top + 18, valueNameLine);
  canvas.TextOut(r.left + 32, r.top + 32, valueLine);
  canvas.TextOut(r.left + 32, r.top + 46, faultLine);
  canvas.PenColor = selected ? clBlue : (clSystemColor | COLOR_GRADIENTINACTIVECAPTION);
  canvas.FrameRect(r);
}

void TZelvoranMainForm::ProblemsListBoxMouseDown(TMouseButton button, int x, int y) {
  if (Busy()) return;   // no ticks or exclusions under a running repair
  if (button == TMouseButton::Right) {
    POINT p{x, y};
    ClientToScreen(ProblemsListBox->Handle(), &p);
    DM->PopupExcludeMenu.Popup(p.x, p.y, Handle());
    return;
  }
  if (button != TMouseButton::Left) return;
  int index = ProblemsListBox->GetItemAt(x, y);
  if (index < 0) return;
  RECT r = ProblemsListBox->ItemRect(index);
  if (x < r.left + 10 || x > r.left + 26 || y < r.top + 29 || y > r.top + 46) return;
  int section = SelectedSection();
  if (section < 0) return;
  if (index >= (*SectionResults)[section].Count()) return;
  SetFindingChecked(section, index, !FindingChecked(section, index));
  ProblemsListBox->UpdateItem(index);
}

void TZelvoranMainForm::ProblemsListBoxContextMenu(int x, int y) {
  // The mouse's right button has opened the menu already (ProblemsListBoxMouseDown); the
  // keyboard opens it at the focused row.
  if (x != -1 || y != -1 || Busy()) return;
  int index = ProblemsListBox->ItemFocused();
  if (index < 0) index = ProblemsListBox->ItemIndex();
  if (index < 0) return;
  if (!ProblemsListBox->IsSelected(index)) ProblemsListBox->SetItemIndex(index);   // the row it acts on
  ProblemsListBox->MakeVisible(index);
  RECT r = ProblemsListBox->ItemRect(index);
  POINT p{r.left + 32, r.top + (r.bottom - r.top) / 2};
  ClientToScreen(ProblemsListBox->Handle(), &p);
  DM->PopupExcludeMenu.Popup(p.x, p.y, Handle());
}

void TZelvoranMainForm::ProblemsListBoxSelectItem(int, bool selected) {
  int section = SelectedSection();
  if (!selected || section < 0) {
    abSeverity->SetCaption("");
    abLevel->SetCaption("");
    abDescription->SetCaption("");
    LevleImage->ClearPicture();
    DetailsMemo->Clear();
    return;
  }
  abSeverity->SetCaption("Severity:");
  LevleImage->ClearPicture();
  std::string caption = RepairGrid->Selected()->Caption;
  for (const TSection& s : Sections()) {
    if (s.Caption != caption) continue;
    int level = s.Severity == "Low" ? 0 : s.Severity == "Normal" ? 1 : 2;
    abLevel->SetCaption(s.Severity);
    abLevel->SetFontColor(level == 0 ? clBlack : level == 1 ? clBlue : clRed);
    if (level < DM->LelvelImageList.Count()) {
      TBitmap bmp;
      DM->LelvelImageList.GetBitmap(level, bmp);
      LevleImage->SetPicture(std::move(bmp));
    }
    abDescription->SetCaption("Description: ");
    DetailsMemo->Clear();
    DetailsMemo->SetText(s.Description);
    break;
  }
}

void TZelvoranMainForm::abShowHideDetailsClick(TObject*) {
  bool show = abShowHideDetails->Caption() != "Hide Details";
  abShowHideDetails->SetCaption(show ? "Hide Details" : "Show Details");
  panDetails->SetVisible(show);
  ProblemsListBox->SetWidth(show ? 357 : 489);
  ProblemsListBox->TControl::Invalidate();
}

void TZelvoranMainForm::ExcludeMenuClick(TObject*) {
  if (Busy()) return;
  int section = SelectedSection();
  int index = ProblemsListBox->ItemIndex();
  if (RepairGrid->Count() == 0 || section < 0 || ProblemsListBox->Count() == 0 || index < 0) return;
  TRegistryContents& findings = (*SectionResults)[section];
  if (index >= findings.Count()) return;
  const TContent finding = findings.GetItem(index).Content;   // a copy: the lists change below
  const std::string caption = RepairGrid->Selected()->Caption;
  // The finding leaves the list only once its exclusion is in the file.
  switch (AppendIgnoreEntry(caption, finding.KeyPath, finding.ValueName, finding.UnnamedValue)) {
    case TIgnoreAppend::Written: break;
    case TIgnoreAppend::LineBreakInName: ShowMessageBox(kLineBreakInName, MB_ICONWARNING); return;
    case TIgnoreAppend::NotWritten: ShowMessageBox(kIgnoreListNotSaved, MB_ICONWARNING); return;
  }
  findings.Delete(index);
  DropExcludedFindings(caption, finding);
  ProblemsListBox->SetItemIndex(-1);
  ProblemsListBox->SetItemCount(findings.Count());
  for (int i = 0; i < RepairGrid->Count(); ++i) {
    int rowSection = RowSection(i);
    if (rowSection < 0 || rowSection >= SectionCount) continue;
    TListItem* row = RepairGrid->Item(i);
    row->SubItems[0] = Format("%d", (*SectionResults)[rowSection].Count());
    row->Update();
  }
  int total = TotalProblemCount();
  RepairGrid->SetColumnCaption(1, Format("Problems Found: %d", total));
  ProblemsPanel->SetCaption(Format("  Details of Problems found: %d", total));
  LVITEMW focus{};
  focus.stateMask = focus.state = LVIS_FOCUSED;
  SendMessageW(RepairGrid->Handle(), LVM_SETITEMSTATE, RepairGrid->ItemIndex(), (LPARAM)&focus);
}

// The entry just excluded, as its ignore line reads, takes every finding it names out of the
// results: the same key under any of its names and the same value, in every section (the two
// software-settings sections meet the current user's values both; the classes both through the
// classes root and where they lie).
void TZelvoranMainForm::DropExcludedFindings(const std::string& caption, const TContent& finding) {
  TIgnoreContents entry;
  std::string line = PublicFunctionUnit::IgnoreLine(caption, finding.KeyPath, finding.ValueName, finding.UnnamedValue);
  line.resize(line.size() - 2);   // its line break
  PublicFunctionUnit::ParseIgnoreLine(line, entry.GetItem(entry.Add()).Content);
  for (TRegistryContents& findings : *SectionResults)
    for (int i = findings.Count() - 1; i >= 0; --i)
      if (SectionCommon::ListExcludes(entry, findings.GetItem(i).Content)) findings.Delete(i);
}

TZelvoranMainForm::TIgnoreAppend TZelvoranMainForm::AppendIgnoreEntry(const std::string& caption,
                                                                        const std::string& keyPath,
                                                                        const std::string& valueName, bool unnamed) {
  // A line break inside a name would cut the entry into lines that each name something else.
  for (const std::string* text : {&caption, &keyPath, &valueName})
    if (text->find_first_of("\r\n") != std::string::npos) return TIgnoreAppend::LineBreakInName;
  std::string file = PublicFunctionUnit::IgnoreFileName();
  std::string line = PublicFunctionUnit::IgnoreLine(caption, keyPath, valueName, unnamed);
  // A file whose last line has no line break (edited by hand) keeps that line whole; a file that
  // is there but cannot be read is never taken for one that ends well.
  std::string old;
  try {
    old = PublicFunctionUnit::IgnoreFileBytes();
  } catch (const EInOutError&) {
    return TIgnoreAppend::NotWritten;
  }
  if (!old.empty() && old.back() != '\n' && old.back() != '\r') line = "\r\n" + line;
  return AppendFileBytes(file, line) ? TIgnoreAppend::Written : TIgnoreAppend::NotWritten;
}
