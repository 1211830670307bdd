// The common controls: progress bar, spin edit, time picker, notebook (pages without tabs),
// page control (tabs), tree view, animation and status bar.
//
// How to use: as the standard controls, `auto* p = new TProgressBar(form);`. A notebook's and a
// page control's pages are panels: put the page's controls on `book->Page(i)`. TProgressBar
// implements TProgressTarget so scanners can move it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "StdCtrls.h"
#include "Strings.h"

class TImageList;

class TProgressBar : public TControl, public TProgressTarget {
 public:
  explicit TProgressBar(TControl* parent);
  int Min() const { return min_; }
  int Max() const { return max_; }
  void SetRange(int min, int max);
  int Position() const override;
  void SetPosition(int position) override;
  void SetBarColor(TColor color);

 private:
  int min_ = 0;
  int max_ = 100;
};

// An edit with up and down arrows for a whole number between MinValue and MaxValue.
class TSpinEdit : public TEdit {
 public:
  explicit TSpinEdit(TControl* parent);
  ~TSpinEdit() override;
  int Value() const;               // the text's number, kept within the range
  void SetValue(int value);
  void SetRange(int minValue, int maxValue);
  int MinValue() const { return min_; }
  int MaxValue() const { return max_; }
  HWND UpDownHandle() const { return upDown_; }

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  HWND upDown_ = nullptr;   // a sibling window, the arrows
  int min_ = 0;
  int max_ = 100;
};

// A time (or date) picker with up and down arrows.
class TDateTimePicker : public TControl {
 public:
  enum class TKind { Time, Date };
  explicit TDateTimePicker(TControl* parent, TKind kind = TKind::Time);
  TDateTime DateTime() const;
  void SetDateTime(TDateTime value);
  // The time of day as hours, minutes and seconds.
  void Time(int& hour, int& minute, int& second) const;
  void SetTime(int hour, int minute, int second);
  TNotifyEvent OnChange;

 protected:
  bool Notify(NMHDR* hdr, LRESULT& result) override;
};

// Pages on top of each other, one shown; no tabs.
class TNotebook : public TControl {
 public:
  explicit TNotebook(TControl* parent);
  TPanel* AddPage(const std::string& name = "");
  int PageCount() const { return (int)pages_.size(); }
  TPanel* Page(int index) const { return pages_.at(index); }
  int PageIndex() const { return pageIndex_; }
  void SetPageIndex(int index);   // OnPageChanged when it changes
  TNotifyEvent OnPageChanged;

 private:
  std::vector<TPanel*> pages_;
  int pageIndex_ = -1;
};

// Tabs with a page each.
class TPageControl : public TControl {
 public:
  explicit TPageControl(TControl* parent);
  TPanel* AddPage(const std::string& caption, int imageIndex = -1);
  int PageCount() const { return (int)pages_.size(); }
  TPanel* Page(int index) const { return pages_.at(index); }
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);   // no OnChange: that is for the user's choice
  void SetImages(TImageList* images);
  TNotifyEvent OnChange;

 protected:
  bool Notify(NMHDR* hdr, LRESULT& result) override;
  void Realign() override;

 private:
  void ShowActivePage();
  std::vector<TPanel*> pages_;
};

class TTreeView;

class TTreeNode {
 public:
  std::string Text() const { return text_; }
  void SetText(const std::string& text);
  void* Data = nullptr;
  int Tag = 0;
  TTreeNode* Parent() const { return parent_; }
  HTREEITEM Handle() const { return handle_; }
  void Expand();

 private:
  friend class TTreeView;
  TTreeView* owner_ = nullptr;
  TTreeNode* parent_ = nullptr;
  HTREEITEM handle_ = nullptr;
  std::string text_;
};

class TTreeView : public TControl {
 public:
  explicit TTreeView(TControl* parent);
  ~TTreeView() override;
  TTreeNode* Add(TTreeNode* parent, const std::string& text, void* data = nullptr);
  void Clear();
  int Count() const { return (int)nodes_.size(); }
  TTreeNode* Node(int index) const { return nodes_.at(index).get(); }
  TTreeNode* Selected() const;
  void Select(TTreeNode* node);
  TNotifyEvent OnChange;   // the selection changed

 protected:
  bool Notify(NMHDR* hdr, LRESULT& result) override;

 private:
  std::vector<std::unique_ptr<TTreeNode>> nodes_;
};

// Plays one of the system's animations (the file-deletion one by default).
class TAnimate : public TControl {
 public:
  enum class TCommonAVI { None, DeleteFile, CopyFile, FindFile };
  explicit TAnimate(TControl* parent);
  bool SetCommonAVI(TCommonAVI avi);   // false when the animation cannot be opened
  void SetActive(bool active);
  bool Active() const { return active_; }
  int StopFrame = 0;

 private:
  bool active_ = false;
  bool opened_ = false;
};

class TStatusBar : public TControl {
 public:
  explicit TStatusBar(TControl* parent);
  void SetPanelWidths(const std::vector<int>& widths);
  // Panels are left-aligned unless set otherwise; the panel's text follows its alignment.
  void SetPanelAlignment(int index, TAlignment alignment);
  // The alignment the control draws the panel's text with.
  TAlignment PanelAlignment(int index) const;
  void SetPanelText(int index, const std::string& text);
  std::string PanelText(int index) const;

 private:
  std::wstring ControlText(int index) const;
  std::vector<TAlignment> alignments_;
};
