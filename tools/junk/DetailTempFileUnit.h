// The modal list of the junk files a scan found ("Details of Temporary Files found"): three
// lines per file (name, path, size) in an owner-drawn list. It keeps its own copies.
//
// How to use:
//   TFormPtr<TDetailTempFileForm> details(new TDetailTempFileForm(nullptr));
//   details->LoadFiles(found, "C:");   // "" for all drives
//   details->ShowModal();
#pragma once

#include <string>
#include <vector>

#include "../../framework/Forms.h"
#include "../../framework/StdCtrls.h"
#include "SysDiskCleanerUnitWalk.h"

class TDetailTempFileForm : public TForm {
 public:
  explicit TDetailTempFileForm(TForm* owner);

  TLabel* abFileTotal;
  TListBox* TempFilesListBox;
  TButton* CloseBtn;

  // Copies the files on drive ("C:"), or all of them for "".
  void LoadFiles(const std::vector<SysDiskCleanerUnit::TJunkFileRecord>& found, const std::string& drive);
  const std::vector<SysDiskCleanerUnit::TJunkFileRecord>& Files() const { return files_; }
  // The three lines of item i as they are drawn.
  std::string ItemText(int index) const;

 private:
  void FormShow(TObject* sender);
  void DrawFile(int index, TCanvas& canvas, const RECT& rect, bool selected);

  std::vector<SysDiskCleanerUnit::TJunkFileRecord> files_;
};
