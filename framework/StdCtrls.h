// The standard controls: push button, check box, radio button, radio group, edit, memo,
// combo box, list box and group box.
//
// How to use: `auto* b = new TButton(form); b->SetBounds(328, 40, 75, 25); b->SetCaption("Cancel");
// b->OnClick = [this](TObject* s) { ... };`. A button with a ModalResult ends a modal form.
// Setting a check box's Checked in code fires its OnClick when the state changes, just as a
// click by the user does.
#pragma once

#include <string>
#include <vector>

#include "Controls.h"

class TButton : public TControl {
 public:
  explicit TButton(TControl* parent);
  int ModalResult = 0;            // passed to the form on a click
  void SetDefault(bool isDefault);   // Enter clicks it; drawn as the default button
  void SetCancel(bool isCancel);     // Escape clicks it
  void Click() override;

 protected:
  void CommandNotify(WORD code) override;
};

// A button that may show a picture beside its caption.
class TBitBtn : public TButton {
 public:
  explicit TBitBtn(TControl* parent) : TButton(parent) {}
};

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TControl* parent);
  bool Checked() const;
  void SetChecked(bool checked);   // fires OnClick when the state changes
  void Click() override;           // toggles, as a click by the user

 protected:
  void CommandNotify(WORD code) override;
};

class TRadioButton : public TControl {
 public:
  explicit TRadioButton(TControl* parent);
  bool Checked() const;
  void SetChecked(bool checked);   // unchecks the other radio buttons of the parent; fires OnClick
  void Click() override;

 protected:
  void CommandNotify(WORD code) override;
};

// A framed box with a caption; a container.
class TGroupBox : public TControl {
 public:
  explicit TGroupBox(TControl* parent);

 protected:
  void PaintContent(HDC dc) override;
};

// A group box of radio buttons laid out in columns; ItemIndex is the checked one (-1 none).
class TRadioGroup : public TGroupBox {
 public:
  explicit TRadioGroup(TControl* parent);
  void SetItems(const std::vector<std::string>& items);
  int Columns = 1;
  int ItemIndex() const;
  void SetItemIndex(int index);   // fires OnClick when it changes
  int Count() const { return (int)buttons_.size(); }
  TRadioButton* Button(int index) const { return buttons_.at(index); }

 protected:
  void Realign() override;

 private:
  std::vector<TRadioButton*> buttons_;
};

class TEdit : public TControl {
 public:
  explicit TEdit(TControl* parent);
  std::string Text() const { return Caption(); }
  void SetText(const std::string& text) { SetCaption(text); }
  void SetReadOnly(bool readOnly);
  void SetMaxLength(int length);
  void SetPasswordChar(wchar_t ch);
  void SelectAll();
  TNotifyEvent OnChange;

 protected:
  TEdit(TControl* parent, DWORD extraStyle);
  void CommandNotify(WORD code) override;
  HBRUSH CtlColor(HDC dc) override;
};

class TMemo : public TEdit {
 public:
  explicit TMemo(TControl* parent);
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);
  void AddLine(const std::string& line);
  void Clear() { SetText(""); }
  void SetBorder(bool border);
  void SetScrollBar(bool vertical);   // the vertical scroll bar (shown by default)
};

class TComboBox : public TControl {
 public:
  // A drop-down list (pick only) or, with editable, a drop-down with an edit.
  explicit TComboBox(TControl* parent, bool editable = false);
  void AddItem(const std::string& text);
  void SetItems(const std::vector<std::string>& items);
  void Clear();
  int Count() const;
  std::string Item(int index) const;
  int ItemIndex() const;
  void SetItemIndex(int index);
  std::string Text() const;
  void SetText(const std::string& text);
  TNotifyEvent OnChange;   // selection or edited text changed by the user

 protected:
  void CommandNotify(WORD code) override;
  HBRUSH CtlColor(HDC dc) override;
};

// A list of texts. With owner draw, items have their own heights and are drawn by the caller.
class TListBox : public TControl {
 public:
  explicit TListBox(TControl* parent, bool ownerDrawVariable = false, bool multiSelect = false);
  void AddItem(const std::string& text);
  void SetItems(const std::vector<std::string>& items);
  void Clear();
  void DeleteItem(int index);
  int Count() const;
  std::string Item(int index) const;
  int ItemIndex() const;
  void SetItemIndex(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  int ItemAtPos(int x, int y) const;   // -1 outside the items
  TNotifyEvent OnChange;   // the selection changed by the user
  std::function<void(TListBox* sender, int index, int& height)> OnMeasureItem;
  std::function<void(TListBox* sender, int index, TCanvas& canvas, const RECT& rect, bool selected)> OnDrawItem;

 protected:
  void CommandNotify(WORD code) override;
  void DrawItem(DRAWITEMSTRUCT& dis) override;
  void MeasureItem(MEASUREITEMSTRUCT& mis) override;
  HBRUSH CtlColor(HDC dc) override;
};
