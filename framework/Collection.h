// The owned-collection pattern: Add appends one empty item and returns its index, GetItem
// reaches an item in place. Items keep their address across Add (a deque never moves them).
#pragma once

#include <deque>

template <class Item>
class TCollection {
 public:
  int Add() {
    items_.emplace_back();
    return (int)items_.size() - 1;
  }
  Item& GetItem(int index) { return items_.at(index); }
  const Item& GetItem(int index) const { return items_.at(index); }
  int Count() const { return (int)items_.size(); }
  void Clear() { items_.clear(); }
  // Removes one item; the items after it move up one index.
  void Delete(int index) { items_.erase(items_.begin() + index); }

 private:
  std::deque<Item> items_;
};
