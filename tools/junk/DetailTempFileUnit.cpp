#include "DetailTempFileUnit.h"

#include "../../framework/Strings.h"

using SysDiskCleanerUnit::DrivePart;
using SysDiskCleanerUnit::TJunkFileRecord;

namespace {
const char* const kCaption = "Details of Temporary Files found";
const char* const kTotal = "Total: %d";
const char* const kClose = "Close";
constexpr int kItemHeight = 50;
constexpr TColor kSelectedFill = 0xFFF2D9;
constexpr TColor kFrame = clSystemColor | COLOR_GRADIENTINACTIVECAPTION;
}  // namespace

TDetailTempFileForm::TDetailTempFileForm(TForm* owner)
    : TForm({.Owner = owner, .Border = TBorderStyle::Single, .ClassName = "TDetailTempFileForm"}) {
  SetCaption(kCaption);
  SetColor(clBtnFace);
  SetBounds(0, 0, 763, 544);
  Position = TPosition::ScreenCenter;

  abFileTotal = new TLabel(this);
  abFileTotal->SetBounds(12, 10, 300, 16);
  TempFilesListBox = new TListBox(this, true);
  TempFilesListBox->SetBounds(12, 32, ClientWidth() - 24, ClientHeight() - 80);
  TempFilesListBox->OnMeasureItem = [](TListBox*, int, int& height) { height = kItemHeight; };
  TempFilesListBox->OnDrawItem = [this](TListBox*, int i, TCanvas& c, const RECT& r, bool s) { DrawFile(i, c, r, s); };
  CloseBtn = new TButton(this);
  CloseBtn->SetBounds(ClientWidth() - 87, ClientHeight() - 38, 75, 25);
  CloseBtn->SetCaption(kClose);
  CloseBtn->ModalResult = mrCancel;
  CloseBtn->SetCancel(true);
  CancelButton = CloseBtn;
  OnShow = [this](TObject* s) { FormShow(s); };
  DoCreate();
}

void TDetailTempFileForm::LoadFiles(const std::vector<TJunkFileRecord>& found, const std::string& drive) {
  files_.clear();
  for (const TJunkFileRecord& file : found)
    if (drive.empty() || DrivePart(file.Path) == drive) files_.push_back(file);
}

void TDetailTempFileForm::FormShow(TObject*) {
  abFileTotal->SetCaption(Format(kTotal, (int)files_.size()));
  TempFilesListBox->SetItems(std::vector<std::string>(files_.size()));
}

std::string TDetailTempFileForm::ItemText(int index) const {
  const TJunkFileRecord& file = files_.at(index);
  return "FileName: " + file.FileName + "\r" + "Path: " + file.Path + "\r" + "Size: " + IntToStr(file.Size / 1024) +
         "KB";
}

void TDetailTempFileForm::DrawFile(int index, TCanvas& canvas, const RECT& rect, bool selected) {
  if (index < 0 || index >= (int)files_.size()) return;
  RECT r{rect.left + 2, rect.top + 4, rect.right - 2, rect.bottom - 4};
  canvas.BrushColor = selected ? kSelectedFill : clWindow;
  canvas.FillRect(rect);
  canvas.Font.Color = clBlack;
  canvas.TextRect(r, ItemText(index), 0);
  canvas.BrushClear = true;
  canvas.PenColor = selected ? clBlue : kFrame;
  canvas.Rectangle(r);
}
