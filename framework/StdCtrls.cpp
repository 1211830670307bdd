#include "StdCtrls.h"

#include <algorithm>

#include "Forms.h"
#include "Strings.h"

// ---- TButton ----

TButton::TButton(TControl* parent)
    : TControl(parent, {.ClassName = L"BUTTON", .Style = BS_PUSHBUTTON | WS_TABSTOP, .Width = 75, .Height = 25}) {}

void TButton::SetDefault(bool isDefault) {
  SendMessageW(Handle(), BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  if (TForm* form = ParentForm()) {
    if (isDefault) {
      form->DefaultButton = this;
    } else if (form->DefaultButton == this) {
      form->DefaultButton = nullptr;
    }
  }
}

void TButton::SetCancel(bool isCancel) {
  if (TForm* form = ParentForm()) {
    if (isCancel) {
      form->CancelButton = this;
    } else if (form->CancelButton == this) {
      form->CancelButton = nullptr;
    }
  }
}

void TButton::Click() {
  if (ModalResult != 0) {
    if (TForm* form = ParentForm()) form->ModalResult = ModalResult;
  }
  TControl::Click();
}

void TButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED) Click();
}

// ---- TCheckBox ----

TCheckBox::TCheckBox(TControl* parent)
    : TControl(parent, {.ClassName = L"BUTTON", .Style = BS_AUTOCHECKBOX | WS_TABSTOP, .Width = 97, .Height = 17}) {}

bool TCheckBox::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked) {
  if (Checked() == checked) return;
  SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  TControl::Click();
}

void TCheckBox::Click() { SetChecked(!Checked()); }

void TCheckBox::CommandNotify(WORD code) {
  if (code == BN_CLICKED) TControl::Click();
}

// ---- TRadioButton ----

TRadioButton::TRadioButton(TControl* parent)
    : TControl(parent, {.ClassName = L"BUTTON", .Style = BS_RADIOBUTTON | WS_TABSTOP, .Width = 113, .Height = 17}) {}

bool TRadioButton::Checked() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TRadioButton::SetChecked(bool checked) {
  if (Checked() == checked) return;
  SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  if (!checked) return;
  if (TControl* parent = Parent()) {
    for (int i = 0; i < parent->ControlCount(); ++i) {
      auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i));
      if (other != nullptr && other != this) SendMessageW(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
  }
  TControl::Click();
}

void TRadioButton::Click() { SetChecked(true); }

void TRadioButton::CommandNotify(WORD code) {
  if (code == BN_CLICKED) SetChecked(true);
}

// ---- TGroupBox / TRadioGroup ----

TGroupBox::TGroupBox(TControl* parent)
    : TControl(parent, {.Style = WS_CLIPCHILDREN, .Width = 185, .Height = 105}) {}

void TGroupBox::PaintContent(HDC dc) {
  RECT r;
  GetClientRect(Handle(), &r);
  TCanvas canvas(dc);
  canvas.Font = Font();
  SIZE text = canvas.TextExtent(Caption().empty() ? " " : Caption());
  RECT frame{r.left, r.top + text.cy / 2, r.right, r.bottom};
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  if (!Caption().empty()) {
    RECT label{8, 0, 8 + text.cx + 4, text.cy};
    canvas.BrushColor = Color();
    canvas.FillRect(label);
    canvas.TextOut(10, 0, Caption());
  }
}

TRadioGroup::TRadioGroup(TControl* parent) : TGroupBox(parent) {}

void TRadioGroup::SetItems(const std::vector<std::string>& items) {
  for (TRadioButton* b : buttons_) delete b;
  buttons_.clear();
  for (const std::string& text : items) {
    auto* b = new TRadioButton(this);
    b->SetCaption(text);
    b->OnClick = [this](TObject*) {
      if (OnClick) OnClick(this);
    };
    buttons_.push_back(b);
  }
  Realign();
}

int TRadioGroup::ItemIndex() const {
  for (int i = 0; i < (int)buttons_.size(); ++i) {
    if (buttons_[i]->Checked()) return i;
  }
  return -1;
}

void TRadioGroup::SetItemIndex(int index) {
  if (index < 0 || index >= (int)buttons_.size()) {
    for (TRadioButton* b : buttons_) SendMessageW(b->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    return;
  }
  buttons_[index]->SetChecked(true);
}

void TRadioGroup::Realign() {
  TControl::Realign();
  if (buttons_.empty()) return;
  int columns = std::max(1, Columns);
  int rows = ((int)buttons_.size() + columns - 1) / columns;
  int width = (ClientWidth() - 16) / columns;
  int top = 16;
  int rowHeight = std::max(17, (ClientHeight() - top - 4) / std::max(1, rows));
  for (int i = 0; i < (int)buttons_.size(); ++i) {
    int col = i / rows, row = i % rows;
    buttons_[i]->SetBounds(8 + col * width, top + row * rowHeight, width - 4, 17);
  }
}

// ---- TEdit / TMemo ----

TEdit::TEdit(TControl* parent) : TEdit(parent, ES_AUTOHSCROLL) {}

TEdit::TEdit(TControl* parent, DWORD extraStyle)
    : TControl(parent, {.ClassName = L"EDIT",
                        .Style = extraStyle | WS_TABSTOP,
                        .ExStyle = WS_EX_CLIENTEDGE,
                        .Width = 121,
                        .Height = 21}) {
  SetColor(clWindow);
}

void TEdit::SetReadOnly(bool readOnly) { SendMessageW(Handle(), EM_SETREADONLY, readOnly, 0); }
void TEdit::SetMaxLength(int length) { SendMessageW(Handle(), EM_SETLIMITTEXT, length, 0); }
void TEdit::SetPasswordChar(wchar_t ch) {
  SendMessageW(Handle(), EM_SETPASSWORDCHAR, ch, 0);
  Invalidate();
}
void TEdit::SelectAll() { SendMessageW(Handle(), EM_SETSEL, 0, -1); }

void TEdit::CommandNotify(WORD code) {
  if (code == EN_CHANGE && OnChange) OnChange(this);
}

HBRUSH TEdit::CtlColor(HDC dc) {
  TColor back = Color();
  if ((GetWindowLongW(Handle(), GWL_STYLE) & ES_READONLY) && back == clWindow) back = clBtnFace;
  SetTextColor(dc, ColorToRGB(Font().Color));
  SetBkColor(dc, ColorToRGB(back));
  return ColorBrush(back);
}

TMemo::TMemo(TControl* parent)
    : TEdit(parent, ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL) {
  SetBounds(0, 0, 185, 89);
}

std::vector<std::string> TMemo::Lines() const {
  std::vector<std::string> lines;
  std::string text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  SetText(text);
}

void TMemo::AddLine(const std::string& line) {
  std::string text = Text();
  if (!text.empty()) text += "\r\n";
  SetText(text + line);
}

void TMemo::SetBorder(bool border) {
  LONG_PTR ex = GetWindowLongPtrW(Handle(), GWL_EXSTYLE);
  ex = border ? (ex | WS_EX_CLIENTEDGE) : (ex & ~WS_EX_CLIENTEDGE);
  SetWindowLongPtrW(Handle(), GWL_EXSTYLE, ex);
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void TMemo::SetScrollBar(bool vertical) {
  LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
  style = vertical ? (style | WS_VSCROLL) : (style & ~WS_VSCROLL);
  SetWindowLongPtrW(Handle(), GWL_STYLE, style);
  SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// ---- TComboBox ----

TComboBox::TComboBox(TControl* parent, bool editable)
    : TControl(parent, {.ClassName = L"COMBOBOX",
                        .Style = (DWORD)((editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST) | WS_VSCROLL | WS_TABSTOP),
                        .Width = 145,
                        .Height = 200}) {
  SetColor(clWindow);
}

void TComboBox::AddItem(const std::string& text) {
  SendMessageW(Handle(), CB_ADDSTRING, 0, (LPARAM)Widen(text).c_str());
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
  Clear();
  for (const auto& item : items) AddItem(item);
}

void TComboBox::Clear() { SendMessageW(Handle(), CB_RESETCONTENT, 0, 0); }
int TComboBox::Count() const { return (int)SendMessageW(Handle(), CB_GETCOUNT, 0, 0); }

std::string TComboBox::Item(int index) const {
  LRESULT length = SendMessageW(Handle(), CB_GETLBTEXTLEN, index, 0);
  if (length == CB_ERR) return "";
  std::wstring text(length + 1, L'\0');
  SendMessageW(Handle(), CB_GETLBTEXT, index, (LPARAM)text.data());
  text.resize(length);
  return Narrow(text);
}

int TComboBox::ItemIndex() const { return (int)SendMessageW(Handle(), CB_GETCURSEL, 0, 0); }
void TComboBox::SetItemIndex(int index) { SendMessageW(Handle(), CB_SETCURSEL, index, 0); }
std::string TComboBox::Text() const { return Caption(); }

void TComboBox::SetText(const std::string& text) {
  int found = (int)SendMessageW(Handle(), CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)Widen(text).c_str());
  if (found != CB_ERR) {
    SetItemIndex(found);
  } else {
    SetCaption(text);
  }
}

void TComboBox::CommandNotify(WORD code) {
  if ((code == CBN_SELCHANGE || code == CBN_EDITCHANGE) && OnChange) OnChange(this);
}

HBRUSH TComboBox::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(Font().Color));
  SetBkColor(dc, ColorToRGB(Color()));
  return ColorBrush(Color());
}

// ---- TListBox ----

TListBox::TListBox(TControl* parent, bool ownerDrawVariable, bool multiSelect)
    : TControl(parent, {.ClassName = L"LISTBOX",
                        .Style = (DWORD)(LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP |
                                         (ownerDrawVariable ? LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS : 0) |
                                         (multiSelect ? LBS_EXTENDEDSEL : 0)),
                        .ExStyle = WS_EX_CLIENTEDGE,
                        .Width = 121,
                        .Height = 97}) {
  SetColor(clWindow);
}

void TListBox::AddItem(const std::string& text) {
  SendMessageW(Handle(), LB_ADDSTRING, 0, (LPARAM)Widen(text).c_str());
}

void TListBox::SetItems(const std::vector<std::string>& items) {
  SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
  Clear();
  for (const auto& item : items) AddItem(item);
  SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
  Invalidate();
}

void TListBox::Clear() { SendMessageW(Handle(), LB_RESETCONTENT, 0, 0); }
void TListBox::DeleteItem(int index) { SendMessageW(Handle(), LB_DELETESTRING, index, 0); }
int TListBox::Count() const { return (int)SendMessageW(Handle(), LB_GETCOUNT, 0, 0); }

std::string TListBox::Item(int index) const {
  LRESULT length = SendMessageW(Handle(), LB_GETTEXTLEN, index, 0);
  if (length == LB_ERR) return "";
  std::wstring text(length + 1, L'\0');
  SendMessageW(Handle(), LB_GETTEXT, index, (LPARAM)text.data());
  text.resize(length);
  return Narrow(text);
}

int TListBox::ItemIndex() const {
  if (GetWindowLongW(Handle(), GWL_STYLE) & LBS_EXTENDEDSEL) return (int)SendMessageW(Handle(), LB_GETCARETINDEX, 0, 0);
  return (int)SendMessageW(Handle(), LB_GETCURSEL, 0, 0);
}

void TListBox::SetItemIndex(int index) {
  if (GetWindowLongW(Handle(), GWL_STYLE) & LBS_EXTENDEDSEL) {
    SendMessageW(Handle(), LB_SETSEL, FALSE, -1);
    if (index >= 0) SendMessageW(Handle(), LB_SETSEL, TRUE, index);
    SendMessageW(Handle(), LB_SETCARETINDEX, index, FALSE);
  } else {
    SendMessageW(Handle(), LB_SETCURSEL, index, 0);
  }
}

bool TListBox::Selected(int index) const { return SendMessageW(Handle(), LB_GETSEL, index, 0) > 0; }

void TListBox::SetSelected(int index, bool selected) {
  if (GetWindowLongW(Handle(), GWL_STYLE) & LBS_EXTENDEDSEL) {
    SendMessageW(Handle(), LB_SETSEL, selected, index);
  } else {
    SendMessageW(Handle(), LB_SETCURSEL, selected ? index : -1, 0);
  }
}

int TListBox::ItemAtPos(int x, int y) const {
  DWORD r = (DWORD)SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
  if (HIWORD(r) != 0) return -1;
  return LOWORD(r);
}

void TListBox::CommandNotify(WORD code) {
  if (code == LBN_SELCHANGE && OnChange) OnChange(this);
  if (code == LBN_DBLCLK && OnDblClick) OnDblClick(this);
}

void TListBox::MeasureItem(MEASUREITEMSTRUCT& mis) {
  int height = (int)mis.itemHeight;
  if (OnMeasureItem) OnMeasureItem(this, (int)mis.itemID, height);
  mis.itemHeight = (UINT)std::clamp(height, 1, 255);
}

void TListBox::DrawItem(DRAWITEMSTRUCT& dis) {
  TCanvas canvas(dis.hDC);
  canvas.Font = Font();
  bool selected = (dis.itemState & ODS_SELECTED) != 0;
  if (OnDrawItem && (int)dis.itemID >= 0) {
    OnDrawItem(this, (int)dis.itemID, canvas, dis.rcItem, selected);
    return;
  }
  canvas.BrushColor = selected ? clHighlight : Color();
  canvas.FillRect(dis.rcItem);
  if ((int)dis.itemID < 0) return;
  canvas.Font.Color = selected ? clHighlightText : Font().Color;
  RECT r = dis.rcItem;
  r.left += 2;
  canvas.TextRect(r, Item((int)dis.itemID), DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

HBRUSH TListBox::CtlColor(HDC dc) {
  SetTextColor(dc, ColorToRGB(Font().Color));
  SetBkColor(dc, ColorToRGB(Color()));
  return ColorBrush(Color());
}
