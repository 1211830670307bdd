#include "Menus.h"

#include <commctrl.h>

#include "Application.h"
#include "Exceptions.h"
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

namespace {

// The pictures of the menu being shown. An item with a picture has a picture its owner window
// draws (HBMMENU_CALLBACK): the image list's own, on the item's colour, highlighted or not. An
// item without one has none, so nothing is drawn beside its text.
struct TMenuPictures {
  const TImageList* Images;
  HMENU Menu;
  std::vector<int> ImageOfId;   // by item id; -1: no picture
  static constexpr int GapBeforeText = 3;
  static constexpr UINT_PTR SubclassId = 0x5A4D;

  int ImageOf(UINT id) const { return id < ImageOfId.size() ? ImageOfId[id] : -1; }

  static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    const auto& pictures = *reinterpret_cast<const TMenuPictures*>(self);
    if (msg == WM_MEASUREITEM) {
      auto& m = *reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      if (m.CtlType == ODT_MENU && pictures.ImageOf(m.itemID) >= 0) {
        m.itemWidth = pictures.Images->Width() + GapBeforeText;
        m.itemHeight = pictures.Images->Height();
        return TRUE;
      }
    } else if (msg == WM_DRAWITEM) {
      const auto& d = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
      int image = d.CtlType == ODT_MENU && (HMENU)d.hwndItem == pictures.Menu ? pictures.ImageOf(d.itemID) : -1;
      if (image >= 0) {
        int top = d.rcItem.top + (d.rcItem.bottom - d.rcItem.top - pictures.Images->Height()) / 2;
        pictures.Images->Draw(d.hDC, d.rcItem.left, top, image, (d.itemState & (ODS_DISABLED | ODS_GRAYED)) == 0);
        return TRUE;
      }
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
  }
};

}  // namespace

void TPopupMenu::Popup(int x, int y, HWND owner) {
  if (OnPopup) OnPopup(this);
  if (owner == nullptr) owner = Application.Handle != nullptr ? Application.Handle : Application.UtilityWindow();
  HMENU menu = CreatePopupMenu();
  TMenuPictures pictures{Images, menu, std::vector<int>(items_.size() + 1, -1)};
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
    if (Images != nullptr && item.ImageIndex >= 0 && item.ImageIndex < Images->Count()) {
      pictures.ImageOfId[mii.wID] = item.ImageIndex;
      mii.fMask |= MIIM_BITMAP;
      mii.hbmpItem = HBMMENU_CALLBACK;
    }
    InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &mii);
  }
  SetWindowSubclass(owner, TMenuPictures::OwnerProc, TMenuPictures::SubclassId, reinterpret_cast<DWORD_PTR>(&pictures));
  SetForegroundWindow(owner);
  UINT chosen = (UINT)TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
  RemoveWindowSubclass(owner, TMenuPictures::OwnerProc, TMenuPictures::SubclassId);
  PostMessageW(owner, WM_NULL, 0, 0);
  DestroyMenu(menu);
  if (chosen >= 1 && chosen <= items_.size()) items_[chosen - 1]->Click();
}
