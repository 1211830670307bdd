#include "Menus.h"

#include "Application.h"
#include "Exceptions.h"
#include "Graphics.h"
#include "ImageList.h"
#include "Strings.h"

void TMenuItem::Click() {
  if (Enabled && OnClick) OnClick(this);
}

TMenuItem* TPopupMenu::Add(const std::string& caption, TNotifyEvent onClick) {
  auto item = std::make_unique<TMenuItem>();
  item->Caption = caption;
  item->OnClick = std::move(onClick);
  items_.push_back(std::move(item));
  return items_.back().get();
}

TMenuItem* TPopupMenu::Find(const std::string& caption) const {
  for (auto& item : items_) {
    if (item->Caption == caption) return item.get();
  }
  return nullptr;
}

void TPopupMenu::Popup(int x, int y, HWND owner) {
  if (OnPopup) OnPopup(this);
  if (owner == nullptr) owner = Application.Handle != nullptr ? Application.Handle : Application.UtilityWindow();
  HMENU menu = CreatePopupMenu();
  std::vector<HBITMAP> pictures;
  for (size_t i = 0; i < items_.size(); ++i) {
    TMenuItem& item = *items_[i];
    if (!item.Visible) continue;
    if (item.Caption == "-") {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    std::wstring text = Widen(item.Caption);
    MENUITEMINFOW mii{sizeof mii};
    mii.fMask = MIIM_ID | MIIM_STRING | MIIM_STATE;
    mii.wID = (UINT)(i + 1);
    mii.dwTypeData = text.data();
    mii.fState = (item.Enabled ? MFS_ENABLED : MFS_DISABLED) | (item.Default ? MFS_DEFAULT : 0) |
                 (item.Checked ? MFS_CHECKED : 0);
    // With pictures, every item gets one (blank where it has none): each row then counts the
    // picture column in its width, so no text runs past the menu's edge.
    if (Images != nullptr && Images->Count() > 0) {
      const int kGapBeforeText = 3;
      TBitmap picture(Images->Width() + kGapBeforeText, Images->Height(), clSystemColor | COLOR_MENU);
      {
        TBitmapDC dc(picture);
        Images->Draw(dc.Handle(), 0, 0, item.ImageIndex);   // nothing for an index out of range
      }
      HBITMAP copy = (HBITMAP)CopyImage(picture.Handle(), IMAGE_BITMAP, 0, 0, 0);
      pictures.push_back(copy);
      mii.fMask |= MIIM_BITMAP;
      mii.hbmpItem = copy;
    }
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mii);
  }
  SetForegroundWindow(owner);
  UINT chosen = (UINT)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
  PostMessageW(owner, WM_NULL, 0, 0);
  DestroyMenu(menu);
  for (HBITMAP b : pictures) DeleteObject(b);
  if (chosen >= 1 && chosen <= items_.size()) items_[chosen - 1]->Click();
}
