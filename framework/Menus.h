// Pop-up menus: items with a caption, an image of the menu's image list (an item without one
// shows no picture), a default (bold) item, separators ("-") and an OnClick that may be re-bound
// at run time.
//
// How to use: `TPopupMenu menu; auto* item = menu.Add("Exit"); item->OnClick = ...;
// menu.Popup(x, y);` (screen coordinates). Tests call item->Click() instead of popping up.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"

class TImageList;

class TMenuItem : public TObject {
 public:
  std::string Caption;       // "-" is a separator
  int ImageIndex = -1;
  bool Default = false;
  bool Enabled = true;
  bool Visible = true;
  bool Checked = false;
  int Tag = 0;
  std::string Name;
  TNotifyEvent OnClick;
  void Click();
};

class TPopupMenu : public TObject {
 public:
  TMenuItem* Add(const std::string& caption, TNotifyEvent onClick = nullptr);
  TMenuItem* AddSeparator() { return Add("-"); }
  int Count() const { return (int)items_.size(); }
  TMenuItem* Items(int index) const { return items_.at(index).get(); }
  TMenuItem* Find(const std::string& caption) const;
  void Clear() { items_.clear(); }

  TImageList* Images = nullptr;
  TControl* PopupComponent = nullptr;   // the control the menu was popped up for
  TNotifyEvent OnPopup;                 // before it shows

  // Shows the menu at a screen position and runs the chosen item's OnClick.
  void Popup(int x, int y, HWND owner = nullptr);

 private:
  std::vector<std::unique_ptr<TMenuItem>> items_;
};
