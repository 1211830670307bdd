#include "ListView.h"

#include <algorithm>
#include <cwchar>

#include "ImageList.h"
#include "ListSort.h"
#include "Strings.h"

// ---- TListItem ----

int TListItem::Index() const {
  if (owner_ == nullptr) return -1;
  const auto& items = owner_->items_;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].get() == this) return (int)i;
  }
  return -1;
}

bool TListItem::Selected() const {
  int i = Index();
  return i >= 0 && owner_->IsSelected(i);
}

void TListItem::SetSelected(bool selected) {
  int i = Index();
  if (i >= 0) owner_->SetSelected(i, selected);
}

void TListItem::SetChecked(bool checked) {
  int i = Index();
  if (i >= 0) {
    owner_->SetChecked(i, checked);
  } else {
    Checked = checked;
  }
}

void TListItem::Update() {
  int i = Index();
  if (i >= 0) owner_->UpdateItem(i);
}

std::string TListItem::Text(int column) const {
  if (column == 0) return Caption;
  if (column - 1 < (int)SubItems.size()) return SubItems[column - 1];
  return "";
}

// ---- TListView ----

static DWORD ListStyle(const TListViewOptions& o) {
  DWORD style = (o.IconView ? LVS_ICON : LVS_REPORT) | LVS_SHAREIMAGELISTS | WS_TABSTOP;
  if (o.OwnerData) style |= LVS_OWNERDATA;
  if (o.OwnerDraw) style |= LVS_OWNERDRAWFIXED;
  if (!o.ShowColumnHeaders) style |= LVS_NOCOLUMNHEADER;
  if (!o.MultiSelect) style |= LVS_SINGLESEL;
  if (!o.HideSelection) style |= LVS_SHOWSELALWAYS;
  return style;
}

TListView::TListView(TControl* parent, const TListViewOptions& options)
    : TControl(parent, {.ClassName = WC_LISTVIEWW,
                        .Style = ListStyle(options),
                        .ExStyle = WS_EX_CLIENTEDGE,
                        .Width = 250,
                        .Height = 150}),
      options_(options) {
  DWORD ex = LVS_EX_LABELTIP;
  if (options.RowSelect) ex |= LVS_EX_FULLROWSELECT;
  if (options.CheckBoxes) ex |= LVS_EX_CHECKBOXES;
  if (options.GridLines) ex |= LVS_EX_GRIDLINES;
  SendMessageW(Handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
  if (options.OwnerData) SendMessageW(Handle(), LVM_SETCALLBACKMASK, LVIS_STATEIMAGEMASK, 0);
  SetColor(clWindow);
}

TListView::~TListView() = default;

void TListView::AddColumn(const std::string& caption, int width, TAlignment alignment) {
  std::wstring text = Widen(caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
  col.fmt = alignment == TAlignment::Center ? LVCFMT_CENTER : alignment == TAlignment::RightJustify ? LVCFMT_RIGHT : LVCFMT_LEFT;
  col.cx = std::max(0, width);
  col.pszText = text.data();
  col.iSubItem = columnCount_;
  SendMessageW(Handle(), LVM_INSERTCOLUMNW, columnCount_, (LPARAM)&col);
  ++columnCount_;
  if (!options_.OwnerData && columnCount_ > 1) {
    for (int i = 0; i < (int)items_.size(); ++i) {
      LVITEMW item{};
      item.iSubItem = columnCount_ - 1;
      item.pszText = LPSTR_TEXTCALLBACKW;
      SendMessageW(Handle(), LVM_SETITEMTEXTW, i, (LPARAM)&item);
    }
  }
}

int TListView::ColumnWidth(int column) const { return (int)SendMessageW(Handle(), LVM_GETCOLUMNWIDTH, column, 0); }

void TListView::SetColumnWidth(int column, int width) {
  SendMessageW(Handle(), LVM_SETCOLUMNWIDTH, column, MAKELPARAM(std::max(0, width), 0));
}

int TListView::ColumnWidthFor(const std::string& text) const {
  const int kCellMargins = 12;   // what the list and its header leave around a cell's text
  return (int)SendMessageW(Handle(), LVM_GETSTRINGWIDTHW, 0, (LPARAM)Widen(text).c_str()) + kCellMargins;
}

void TListView::FillWidthWithColumn(int column) {
  int others = 0;
  for (int c = 0; c < columnCount_; ++c)
    if (c != column) others += ColumnWidth(c);
  SetColumnWidth(column, ClientWidth() - others);
}

void TListView::WidenColumnToText(int column) {
  int width = std::max(ColumnWidth(column), ColumnWidthFor(ColumnCaption(column)));
  TListItem row;
  for (int i = 0; i < Count(); ++i) {
    GetRow(i, row);
    width = std::max(width, ColumnWidthFor(row.Text(column)));
  }
  if (column == 0 && stateImages_ != nullptr) width += stateImages_->Width();
  SetColumnWidth(column, width);
}

void TListView::SetColumnCaption(int column, const std::string& caption) {
  std::wstring text = Widen(caption);
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = text.data();
  SendMessageW(Handle(), LVM_SETCOLUMNW, column, (LPARAM)&col);
}

std::string TListView::ColumnCaption(int column) const {
  wchar_t buffer[512] = {};
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT;
  col.pszText = buffer;
  col.cchTextMax = 511;
  SendMessageW(Handle(), LVM_GETCOLUMNW, column, (LPARAM)&col);
  return Narrow(buffer);
}

TListItem* TListView::AddItem(const std::string& caption) { return InsertItem((int)items_.size(), caption); }

TListItem* TListView::InsertItem(int index, const std::string& caption) {
  if (options_.OwnerData) return nullptr;
  index = std::clamp(index, 0, (int)items_.size());
  auto item = std::make_unique<TListItem>();
  item->owner_ = this;
  item->Caption = caption;
  items_.insert(items_.begin() + index, std::move(item));
  InsertRow(index);
  return items_[index].get();
}

void TListView::InsertRow(int index) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = index;
  item.pszText = LPSTR_TEXTCALLBACKW;
  item.iImage = I_IMAGECALLBACK;
  settingState_ = true;
  SendMessageW(Handle(), LVM_INSERTITEMW, 0, (LPARAM)&item);
  for (int c = 1; c < columnCount_; ++c) {
    LVITEMW sub{};
    sub.iSubItem = c;
    sub.pszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(Handle(), LVM_SETITEMTEXTW, index, (LPARAM)&sub);
  }
  settingState_ = false;
}

void TListView::PushState(int index, const TListItem& row) {
  UINT state = 0;
  if (StateShowsTick()) {
    state = INDEXTOSTATEIMAGEMASK(row.Checked ? 2 : 1);
  } else if (row.StateIndex >= 0) {
    state = INDEXTOSTATEIMAGEMASK(row.StateIndex + 1);
  } else {
    return;
  }
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = state;
  SendMessageW(Handle(), LVM_SETITEMSTATE, index, (LPARAM)&item);
}

void TListView::DeleteItem(int index) {
  if (options_.OwnerData || index < 0 || index >= (int)items_.size()) return;
  SendMessageW(Handle(), LVM_DELETEITEM, index, 0);
  items_.erase(items_.begin() + index);
}

void TListView::Clear() {
  if (options_.OwnerData) {
    SetItemCount(0);
    return;
  }
  SendMessageW(Handle(), LVM_DELETEALLITEMS, 0, 0);
  items_.clear();
}

int TListView::Count() const { return options_.OwnerData ? ownerDataCount_ : (int)items_.size(); }

TListItem* TListView::Item(int index) const {
  if (options_.OwnerData || index < 0 || index >= (int)items_.size()) return nullptr;
  return items_[index].get();
}

void TListView::UpdateItem(int index) {
  if (!options_.OwnerData && index >= 0 && index < (int)items_.size()) {
    settingState_ = true;
    PushState(index, *items_[index]);
    settingState_ = false;
  }
  SendMessageW(Handle(), LVM_UPDATE, index, 0);
  SendMessageW(Handle(), LVM_REDRAWITEMS, index, index);
}

void TListView::BeginUpdate() {
  if (updateDepth_++ == 0) SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
}

void TListView::EndUpdate() {
  if (updateDepth_ > 0 && --updateDepth_ == 0) {
    SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
  }
}

void TListView::SortItems(const std::function<bool(const TListItem& a, const TListItem& b)>& before) {
  if (options_.OwnerData) return;
  std::vector<TListItem*> selected;
  for (int i = 0; i < (int)items_.size(); ++i)
    if (IsSelected(i)) selected.push_back(items_[i].get());
  using TRow = std::unique_ptr<TListItem>;
  std::stable_sort(items_.begin(), items_.end(), [&](const TRow& a, const TRow& b) { return before(*a, *b); });
  settingState_ = true;
  for (int i = 0; i < (int)items_.size(); ++i) {
    SetSelected(i, std::find(selected.begin(), selected.end(), items_[i].get()) != selected.end());
    PushState(i, *items_[i]);
  }
  settingState_ = false;
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TListView::GetRow(int index, TListItem& row) const {
  if (options_.OwnerData) {
    row = TListItem{};
    if (OnData && index >= 0 && index < ownerDataCount_) OnData(const_cast<TListView*>(this), index, row);
    return;
  }
  if (index >= 0 && index < (int)items_.size()) {
    const TListItem& source = *items_[index];
    row.Caption = source.Caption;
    row.SubItems = source.SubItems;
    row.ImageIndex = source.ImageIndex;
    row.StateIndex = source.StateIndex;
    row.Checked = source.Checked;
    row.Data = source.Data;
    row.Tag = source.Tag;
  }
}

bool TListView::IsChecked(int index) const {
  if (options_.OwnerData) {
    TListItem row;
    GetRow(index, row);
    return row.Checked;
  }
  return index >= 0 && index < (int)items_.size() && items_[index]->Checked;
}

void TListView::SetChecked(int index, bool checked) {
  if (options_.OwnerData || index < 0 || index >= (int)items_.size()) return;
  TListItem& row = *items_[index];
  if (row.Checked == checked) return;
  row.Checked = checked;
  settingState_ = true;
  PushState(index, row);
  settingState_ = false;
  if (OnItemChecked) OnItemChecked(this, index);
}

int TListView::ItemIndex() const { return (int)SendMessageW(Handle(), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED); }

void TListView::SetItemIndex(int index) {
  LVITEMW clear{};
  clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  clear.state = 0;
  SendMessageW(Handle(), LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&clear);
  if (index < 0 || index >= Count()) return;
  LVITEMW set{};
  set.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  set.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(Handle(), LVM_SETITEMSTATE, index, (LPARAM)&set);
}

TListItem* TListView::Selected() const { return Item(ItemIndex()); }

bool TListView::IsSelected(int index) const {
  return (SendMessageW(Handle(), LVM_GETITEMSTATE, index, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void TListView::SetSelected(int index, bool selected) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED;
  item.state = selected ? LVIS_SELECTED : 0;
  SendMessageW(Handle(), LVM_SETITEMSTATE, index, (LPARAM)&item);
}

int TListView::SelCount() const { return (int)SendMessageW(Handle(), LVM_GETSELECTEDCOUNT, 0, 0); }

int TListView::ItemFocused() const { return (int)SendMessageW(Handle(), LVM_GETNEXTITEM, (WPARAM)-1, LVNI_FOCUSED); }

void TListView::MakeVisible(int index) { SendMessageW(Handle(), LVM_ENSUREVISIBLE, index, FALSE); }

int TListView::TopIndex() const { return (int)SendMessageW(Handle(), LVM_GETTOPINDEX, 0, 0); }

void TListView::SetItemCount(int count) {
  if (!options_.OwnerData) return;
  ownerDataCount_ = std::max(0, count);
  SendMessageW(Handle(), LVM_SETITEMCOUNT, ownerDataCount_, 0);
  InvalidateRect(Handle(), nullptr, TRUE);
}

void TListView::Invalidate() { TControl::Invalidate(); }

void TListView::SetSmallImages(TImageList* images) {
  smallImages_ = images;
  SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)(images != nullptr ? images->Handle() : nullptr));
  Remeasure();
}

void TListView::SetLargeImages(TImageList* images) {
  SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_NORMAL, (LPARAM)(images != nullptr ? images->Handle() : nullptr));
}

void TListView::SetStateImages(TImageList* images) {
  stateImages_ = images;
  SendMessageW(Handle(), LVM_SETIMAGELIST, LVSIL_STATE, (LPARAM)(images != nullptr ? images->Handle() : nullptr));
  Remeasure();
}

void TListView::SetRowHeight(int height) {
  rowHeight_ = height;
  Remeasure();
}

int TListView::RowHeight() const {
  if (stateImages_ != nullptr) return stateImages_->Height();
  if (smallImages_ != nullptr) return smallImages_->Height();
  return rowHeight_;
}

void TListView::Remeasure() {
  if (!options_.OwnerDraw) return;
  // The list asks its parent for the row height again when its frame changes.
  RECT r;
  GetWindowRect(Handle(), &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(Handle(), nullptr, 0, 0, w, h + 1, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(Handle(), nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TListView::MeasureItem(MEASUREITEMSTRUCT& mis) {
  int height = RowHeight();
  if (height > 0) mis.itemHeight = (UINT)height;
}

void TListView::DrawItem(DRAWITEMSTRUCT& dis) {
  int index = (int)dis.itemID;
  bool selected = (dis.itemState & ODS_SELECTED) != 0;
  TCanvas canvas(dis.hDC);
  canvas.Font = Font();
  if (OnDrawItem) {
    OnDrawItem(this, index, canvas, dis.rcItem, selected);
    return;
  }
  TListItem row;
  GetRow(index, row);
  canvas.BrushColor = selected ? clHighlight : Color();
  canvas.FillRect(dis.rcItem);
  canvas.Font.Color = selected ? clHighlightText : Font().Color;
  int x = dis.rcItem.left;
  for (int c = 0; c < std::max(1, columnCount_); ++c) {
    int w = columnCount_ > 0 ? ColumnWidth(c) : dis.rcItem.right - dis.rcItem.left;
    RECT cell{x + 4, dis.rcItem.top, x + w - 2, dis.rcItem.bottom};
    canvas.TextRect(cell, row.Text(c), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    x += w;
  }
}

int TListView::GetItemAt(int x, int y) const {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  int index = (int)SendMessageW(Handle(), LVM_SUBITEMHITTEST, 0, (LPARAM)&hit);
  if (index < 0 || !(hit.flags & LVHT_ONITEM)) {
    // With full-row select a click beside the texts still hits the row.
    LVHITTESTINFO row{};
    row.pt = {x, y};
    index = (int)SendMessageW(Handle(), LVM_HITTEST, 0, (LPARAM)&row);
    if (index < 0 || !(row.flags & LVHT_ONITEM)) {
      if (index >= 0 && options_.RowSelect) {
        RECT r = ItemRect(index);
        if (y >= r.top && y < r.bottom) return index;
      }
      return -1;
    }
  }
  return index;
}

int TListView::GetStateIconAt(int x, int y) const {
  LVHITTESTINFO hit{};
  hit.pt = {x, y};
  int index = (int)SendMessageW(Handle(), LVM_HITTEST, 0, (LPARAM)&hit);
  if (index >= 0 && (hit.flags & LVHT_ONITEMSTATEICON)) return index;
  return -1;
}

RECT TListView::ItemRect(int index) const {
  RECT r{};
  r.left = LVIR_BOUNDS;
  SendMessageW(Handle(), LVM_GETITEMRECT, index, (LPARAM)&r);
  return r;
}

void TListView::ToggleOwnerDataCheck(int index) {
  if (OnItemChecked) OnItemChecked(this, index);
  SendMessageW(Handle(), LVM_REDRAWITEMS, index, index);
}

LRESULT TListView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (options_.OwnerData && StateShowsTick()) {
    if (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK) {
      int index = GetStateIconAt((short)LOWORD(lp), (short)HIWORD(lp));
      if (index >= 0) {
        ToggleOwnerDataCheck(index);
        return 0;
      }
    }
    if (msg == WM_KEYDOWN && wp == VK_SPACE) {
      int index = ItemFocused();
      if (index >= 0) ToggleOwnerDataCheck(index);
      return 0;
    }
  }
  return TControl::WndProc(msg, wp, lp);
}

static void CopyText(const std::string& text, LVITEMW& item) {
  if (item.pszText == nullptr || item.cchTextMax <= 0) return;
  std::wstring w = Widen(text);
  wcsncpy(item.pszText, w.c_str(), item.cchTextMax - 1);
  item.pszText[item.cchTextMax - 1] = L'\0';
}

bool TListView::Notify(NMHDR* hdr, LRESULT& result) {
  switch (hdr->code) {
    case LVN_GETDISPINFOW: {
      auto* info = reinterpret_cast<NMLVDISPINFOW*>(hdr);
      LVITEMW& item = info->item;
      TListItem scratch;
      const TListItem* row = nullptr;
      if (options_.OwnerData) {
        GetRow(item.iItem, scratch);
        row = &scratch;
      } else if (item.iItem >= 0 && item.iItem < (int)items_.size()) {
        row = items_[item.iItem].get();
      }
      if (row == nullptr) return true;
      if (item.mask & LVIF_TEXT) CopyText(row->Text(item.iSubItem), item);
      if (item.mask & LVIF_IMAGE) item.iImage = item.iSubItem == 0 ? row->ImageIndex : -1;
      if ((item.mask & LVIF_STATE) && options_.OwnerData) {
        if (StateShowsTick()) {
          item.state = INDEXTOSTATEIMAGEMASK(row->Checked ? 2 : 1);
        } else if (row->StateIndex >= 0) {
          item.state = INDEXTOSTATEIMAGEMASK(row->StateIndex + 1);
        }
        item.stateMask |= LVIS_STATEIMAGEMASK;
      }
      return true;
    }
    case LVN_ITEMCHANGED: {
      auto* nm = reinterpret_cast<NMLISTVIEW*>(hdr);
      if (!(nm->uChanged & LVIF_STATE) || nm->iItem < 0) return false;
      UINT oldState = nm->uOldState, newState = nm->uNewState;
      if ((oldState ^ newState) & LVIS_SELECTED) {
        if (OnSelectItem) OnSelectItem(this, nm->iItem, (newState & LVIS_SELECTED) != 0);
      }
      if (StateShowsTick() && !options_.OwnerData && !settingState_ &&
          ((oldState ^ newState) & LVIS_STATEIMAGEMASK) && (oldState & LVIS_STATEIMAGEMASK) != 0 &&
          nm->iItem < (int)items_.size()) {
        bool checked = ((newState & LVIS_STATEIMAGEMASK) >> 12) == 2;
        TListItem& row = *items_[nm->iItem];
        if (row.Checked != checked) {
          row.Checked = checked;
          if (OnItemChecked) OnItemChecked(this, nm->iItem);
        }
      }
      return false;
    }
    case LVN_COLUMNCLICK:
      if (OnColumnClick) OnColumnClick(this, reinterpret_cast<NMLISTVIEW*>(hdr)->iSubItem);
      return false;
    case NM_CLICK:
      if (OnClick) OnClick(this);
      return false;
    case NM_CUSTOMDRAW: {
      if (!OnCustomDrawSubItem || options_.OwnerDraw) return false;
      auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(hdr);
      switch (cd->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
          result = CDRF_NOTIFYITEMDRAW;
          return true;
        case CDDS_ITEMPREPAINT:
          result = CDRF_NOTIFYSUBITEMDRAW;
          return true;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
          TColor color = Font().Color;
          OnCustomDrawSubItem(this, (int)cd->nmcd.dwItemSpec, cd->iSubItem, color);
          cd->clrText = ColorToRGB(color);
          result = CDRF_NEWFONT;
          return true;
        }
      }
      return false;
    }
  }
  return false;
}

int CompareColumnText(const TListItem& a, const TListItem& b, int column) {
  return lstrcmpiW(Widen(a.Text(column)).c_str(), Widen(b.Text(column)).c_str());
}
