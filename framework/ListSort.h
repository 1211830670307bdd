// Sorting a list by a clicked column. TColumnSort remembers the column and the direction (a
// second click on the same column reverses it) and sorts what the list shows: the list's own
// rows, or the records (or an index vector over them) behind an owner-data list. The caller
// chooses the compare: compare(a, b, column) < 0 when a comes first in ascending order.
//
// How to use:
//   list->OnColumnClick = [this](TListView*, int column) { SortBy(column); };
//   void TMyPage::SortBy(int column) {
//     sort_.Click(column);
//     sort_.Sort(records_, CompareRecords);   // or sort_.Sort(*list, CompareColumnText)
//     list_->Invalidate();
//   }
#pragma once

#include <algorithm>
#include <vector>

#include "ListView.h"

// The texts of one column, without regard to case (the usual order for names and paths).
int CompareColumnText(const TListItem& a, const TListItem& b, int column);

class TColumnSort {
 public:
  // A click on a column header: the same column again reverses the order, another column
  // sorts ascending.
  void Click(int column) {
    ascending_ = column == column_ ? !ascending_ : true;
    column_ = column;
  }
  int Column() const { return column_; }   // -1 before the first click
  bool Ascending() const { return ascending_; }

  // Sorts rows by the current column (stable: equal rows keep their order).
  template <class T, class Compare>
  void Sort(std::vector<T>& rows, Compare compare) const {
    std::stable_sort(rows.begin(), rows.end(), [&](const T& a, const T& b) { return Before(compare(a, b, column_)); });
  }
  // Sorts the list's own rows (not owner data).
  template <class Compare>
  void Sort(TListView& list, Compare compare) const {
    list.SortItems([&](const TListItem& a, const TListItem& b) { return Before(compare(a, b, column_)); });
  }

 private:
  bool Before(int comparison) const { return ascending_ ? comparison < 0 : comparison > 0; }
  int column_ = -1;
  bool ascending_ = true;
};
