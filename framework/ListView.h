// The report list view. Rows live in a C++ model (TListItem: caption, sub-items, image, state
// image, check state, data) and the control asks for their texts when it paints, so a row may
// carry more texts than the list has columns.
//
// How to use:
//   auto* list = new TListView(form, {.CheckBoxes = true});
//   list->AddColumn("Name", 200);
//   TListItem* row = list->AddItem("text"); row->SubItems = {"a", "b"}; row->Update();
// Owner data (.OwnerData): SetItemCount(n) and OnData fills a row when it is needed.
// Owner draw (.OwnerDraw): OnDrawItem paints each row; the row height is the state image
// list's height (else the small image list's, else SetRowHeight).
// Per-cell colours: OnCustomDrawSubItem. TListView implements TListCountTarget.
// Icon view (.IconView): large icons from SetLargeImages, each row's ImageIndex and caption.
// Sorting by a clicked column: framework/ListSort.h.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

class TImageList;
class TListView;

class TListItem {
 public:
  std::string Caption;
  std::vector<std::string> SubItems;   // may hold more texts than there are columns
  int ImageIndex = -1;
  int StateIndex = -1;                 // state image (lists without check boxes)
  bool Checked = false;                // the check box (lists with check boxes)
  void* Data = nullptr;
  int Tag = 0;

  TListView* Owner() const { return owner_; }
  int Index() const;                   // -1 when not in a list (owner-data rows)
  bool Selected() const;
  void SetSelected(bool selected);
  void SetChecked(bool checked);       // as TListView::SetChecked
  void Update();                       // shows the changed fields

  // The text of column `column` (0 = Caption), "" when missing.
  std::string Text(int column) const;

 private:
  friend class TListView;
  TListView* owner_ = nullptr;
};

struct TListViewOptions {
  bool CheckBoxes = false;
  bool OwnerData = false;
  bool OwnerDraw = false;
  bool RowSelect = true;
  bool ShowColumnHeaders = true;
  bool MultiSelect = false;
  bool GridLines = false;
  bool HideSelection = false;   // false: the selection shows when the list has no focus
  bool IconView = false;        // large icons instead of report rows
  // With CheckBoxes: each row's StateIndex picks its state picture, as in a list without check
  // boxes, and a click on it is left to OnMouseDown (rows whose state picture is a switch of their own).
  bool RowStateImages = false;
};

class TListView : public TControl, public TListCountTarget {
 public:
  explicit TListView(TControl* parent, const TListViewOptions& options = {});
  ~TListView() override;

  const TListViewOptions& Options() const { return options_; }

  // Columns.
  void AddColumn(const std::string& caption, int width, TAlignment alignment = TAlignment::LeftJustify);
  int ColumnCount() const { return columnCount_; }
  int ColumnWidth(int column) const;
  void SetColumnWidth(int column, int width);   // negative widths count as 0
  // The width a column needs to show the text whole in this list's font (cell margins included).
  int ColumnWidthFor(const std::string& text) const;
  // Gives the column what the other columns leave of the list's width (scroll bar excluded).
  void FillWidthWithColumn(int column);
  // Widens the column to its widest text, the header's and every row's; never narrows it.
  void WidenColumnToText(int column);
  void SetColumnCaption(int column, const std::string& caption);
  std::string ColumnCaption(int column) const;

  // Rows of the model (not owner data).
  TListItem* AddItem(const std::string& caption = "");
  TListItem* InsertItem(int index, const std::string& caption = "");
  void DeleteItem(int index);
  void Clear();
  int Count() const;
  TListItem* Item(int index) const;   // owner data: null
  void UpdateItem(int index);
  void BeginUpdate();
  void EndUpdate();
  // Reorders the model rows (stable); the selected rows stay selected.
  void SortItems(const std::function<bool(const TListItem& a, const TListItem& b)>& before);

  // Check boxes. Owner data: Checked asks OnData; a click on a check box raises OnItemChecked
  // and the caller changes its data.
  bool IsChecked(int index) const;
  void SetChecked(int index, bool checked);   // raises OnItemChecked when it changes

  // Selection.
  int ItemIndex() const;                 // the first selected row, -1 none
  void SetItemIndex(int index);          // selects and focuses one row (-1 clears)
  TListItem* Selected() const;
  bool IsSelected(int index) const;
  void SetSelected(int index, bool selected);
  int SelCount() const;
  int ItemFocused() const;
  void MakeVisible(int index);
  int TopIndex() const;

  // Owner data.
  void SetItemCount(int count) override;
  void Invalidate() override;
  std::function<void(TListView* sender, int index, TListItem& item)> OnData;

  // Images and rows.
  void SetSmallImages(TImageList* images);
  void SetLargeImages(TImageList* images);   // the icon view's pictures
  void SetStateImages(TImageList* images);
  void SetRowHeight(int height);
  int RowHeight() const;                 // what owner-drawn rows are given

  std::function<void(TListView* sender, int index, TCanvas& canvas, const RECT& rect, bool selected)> OnDrawItem;
  // Sets the text colour of one cell (column 0 = the caption) before it is drawn.
  std::function<void(TListView* sender, int index, int column, TColor& textColor)> OnCustomDrawSubItem;

  std::function<void(TListView* sender, int index, bool selected)> OnSelectItem;
  std::function<void(TListView* sender, int index)> OnItemChecked;
  std::function<void(TListView* sender, int column)> OnColumnClick;

  // Hit tests in client coordinates.
  int GetItemAt(int x, int y) const;          // -1 when no row is there
  int GetStateIconAt(int x, int y) const;     // the row whose check box / state image is there
  RECT ItemRect(int index) const;

  // The row as the list shows it (owner data: filled by OnData).
  void GetRow(int index, TListItem& row) const;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  bool Notify(NMHDR* hdr, LRESULT& result) override;
  void DrawItem(DRAWITEMSTRUCT& dis) override;
  void MeasureItem(MEASUREITEMSTRUCT& mis) override;

 private:
  friend class TListItem;
  // The state picture shows each row's tick (check boxes without rows' own state pictures).
  bool StateShowsTick() const { return options_.CheckBoxes && !options_.RowStateImages; }
  void InsertRow(int index);
  void PushState(int index, const TListItem& item);
  void Remeasure();
  void ToggleOwnerDataCheck(int index);

  TListViewOptions options_;
  std::vector<std::unique_ptr<TListItem>> items_;
  int columnCount_ = 0;
  int ownerDataCount_ = 0;
  int rowHeight_ = 0;
  TImageList* stateImages_ = nullptr;
  TImageList* smallImages_ = nullptr;
  int updateDepth_ = 0;
  bool settingState_ = false;   // SetChecked is pushing a check state: raise the event once
};
