#include "ComCtrls.h"

#include <algorithm>

#include <oleauto.h>

#include "ImageList.h"

// ---- TProgressBar ----

TProgressBar::TProgressBar(TControl* parent)
    : TControl(parent, {.ClassName = PROGRESS_CLASSW, .Style = PBS_SMOOTH, .Width = 150, .Height = 17}) {
  SendMessageW(Handle(), PBM_SETRANGE32, 0, 100);
}

void TProgressBar::SetRange(int min, int max) {
  min_ = min;
  max_ = max;
  SendMessageW(Handle(), PBM_SETRANGE32, min, max);
}

int TProgressBar::Position() const { return (int)SendMessageW(Handle(), PBM_GETPOS, 0, 0); }

void TProgressBar::SetPosition(int position) {
  SendMessageW(Handle(), PBM_SETPOS, std::clamp(position, min_, max_), 0);
}

void TProgressBar::SetBarColor(TColor color) { SendMessageW(Handle(), PBM_SETBARCOLOR, 0, ColorToRGB(color)); }

// ---- TSpinEdit ----

TSpinEdit::TSpinEdit(TControl* parent) : TEdit(parent, ES_AUTOHSCROLL | ES_NUMBER | WS_CLIPCHILDREN) {
  upDown_ = CreateWindowExW(0, UPDOWN_CLASSW, L"",
                            WS_CHILD | WS_VISIBLE | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 16,
                            Height(), Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(upDown_, UDM_SETBUDDY, (WPARAM)Handle(), 0);
  SendMessageW(upDown_, UDM_SETRANGE32, min_, max_);
  SetValue(0);
  SetBounds(0, 0, 121, 22);
}

TSpinEdit::~TSpinEdit() {
  if (upDown_ != nullptr && IsWindow(upDown_)) DestroyWindow(upDown_);
}

LRESULT TSpinEdit::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = TEdit::WndProc(msg, wp, lp);
  if (msg == WM_SIZE && upDown_ != nullptr) {
    RECT c;
    GetClientRect(Handle(), &c);
    SetWindowPos(upDown_, nullptr, c.right - 16, 0, 16, c.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(Handle(), EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, 17));
  }
  return r;
}

int TSpinEdit::Value() const {
  long long v = StrToIntDef(Trim(Text()), min_);
  return (int)std::clamp<long long>(v, min_, max_);
}

void TSpinEdit::SetValue(int value) {
  value = std::clamp(value, min_, max_);
  SendMessageW(upDown_, UDM_SETPOS32, 0, value);
  SetText(IntToStr(value));
}

void TSpinEdit::SetRange(int minValue, int maxValue) {
  min_ = minValue;
  max_ = std::max(minValue, maxValue);
  SendMessageW(upDown_, UDM_SETRANGE32, min_, max_);
  SetValue(Value());
}

// ---- TDateTimePicker ----

TDateTimePicker::TDateTimePicker(TControl* parent, TKind kind)
    : TControl(parent, {.ClassName = DATETIMEPICK_CLASSW,
                        .Style = (DWORD)(WS_TABSTOP | (kind == TKind::Time ? DTS_TIMEFORMAT | DTS_UPDOWN : DTS_SHORTDATEFORMAT)),
                        .Width = 186,
                        .Height = 21}) {}

TDateTime TDateTimePicker::DateTime() const {
  SYSTEMTIME st{};
  SendMessageW(Handle(), DTM_GETSYSTEMTIME, 0, (LPARAM)&st);
  st.wMilliseconds = 0;
  double value = 0;
  SystemTimeToVariantTime(&st, &value);
  return value;
}

void TDateTimePicker::SetDateTime(TDateTime value) {
  SYSTEMTIME st{};
  if (!VariantTimeToSystemTime(value, &st)) return;
  SendMessageW(Handle(), DTM_SETSYSTEMTIME, GDT_VALID, (LPARAM)&st);
}

void TDateTimePicker::Time(int& hour, int& minute, int& second) const {
  SYSTEMTIME st{};
  SendMessageW(Handle(), DTM_GETSYSTEMTIME, 0, (LPARAM)&st);
  hour = st.wHour;
  minute = st.wMinute;
  second = st.wSecond;
}

void TDateTimePicker::SetTime(int hour, int minute, int second) {
  SYSTEMTIME st{};
  SendMessageW(Handle(), DTM_GETSYSTEMTIME, 0, (LPARAM)&st);
  if (st.wYear == 0) GetLocalTime(&st);
  st.wHour = (WORD)hour;
  st.wMinute = (WORD)minute;
  st.wSecond = (WORD)second;
  st.wMilliseconds = 0;
  SendMessageW(Handle(), DTM_SETSYSTEMTIME, GDT_VALID, (LPARAM)&st);
}

bool TDateTimePicker::Notify(NMHDR* hdr, LRESULT& result) {
  if (hdr->code == DTN_DATETIMECHANGE && OnChange) OnChange(this);
  return false;
}

// ---- TNotebook ----

TNotebook::TNotebook(TControl* parent) : TControl(parent, {.Style = WS_CLIPCHILDREN, .Width = 150, .Height = 150}) {}

TPanel* TNotebook::AddPage(const std::string& name) {
  auto* page = new TPanel(this);
  page->Name = name;
  page->SetVisible(pages_.empty());
  page->SetAlign(TAlign::Client);
  pages_.push_back(page);
  if (pageIndex_ < 0) pageIndex_ = 0;
  return page;
}

void TNotebook::SetPageIndex(int index) {
  if (index < 0 || index >= (int)pages_.size() || index == pageIndex_) return;
  pages_[index]->Show();
  if (pageIndex_ >= 0) pages_[pageIndex_]->Hide();
  pageIndex_ = index;
  Realign();
  if (OnPageChanged) OnPageChanged(this);
}

// ---- TPageControl ----

TPageControl::TPageControl(TControl* parent)
    : TControl(parent, {.ClassName = WC_TABCONTROLW, .Style = WS_CLIPCHILDREN | WS_TABSTOP, .Width = 289, .Height = 193}) {}

TPanel* TPageControl::AddPage(const std::string& caption, int imageIndex) {
  std::wstring text = Widen(caption);
  TCITEMW item{};
  item.mask = TCIF_TEXT | TCIF_IMAGE;
  item.pszText = text.data();
  item.iImage = imageIndex;
  SendMessageW(Handle(), TCM_INSERTITEMW, pages_.size(), (LPARAM)&item);
  auto* page = new TPanel(this);
  page->Name = caption;
  pages_.push_back(page);
  Realign();
  ShowActivePage();
  return page;
}

int TPageControl::ActivePageIndex() const { return (int)SendMessageW(Handle(), TCM_GETCURSEL, 0, 0); }

void TPageControl::SetActivePageIndex(int index) {
  SendMessageW(Handle(), TCM_SETCURSEL, index, 0);
  ShowActivePage();
}

void TPageControl::SetImages(TImageList* images) {
  SendMessageW(Handle(), TCM_SETIMAGELIST, 0, (LPARAM)(images != nullptr ? images->Handle() : nullptr));
  Realign();
}

void TPageControl::ShowActivePage() {
  int active = ActivePageIndex();
  for (int i = 0; i < (int)pages_.size(); ++i) pages_[i]->SetVisible(i == active);
}

void TPageControl::Realign() {
  TControl::Realign();
  RECT r;
  GetClientRect(Handle(), &r);
  SendMessageW(Handle(), TCM_ADJUSTRECT, FALSE, (LPARAM)&r);
  for (TPanel* page : pages_) page->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

bool TPageControl::Notify(NMHDR* hdr, LRESULT& result) {
  if (hdr->code == (UINT)TCN_SELCHANGE) {
    ShowActivePage();
    if (OnChange) OnChange(this);
  }
  return false;
}

// ---- TTreeView ----

void TTreeNode::SetText(const std::string& text) {
  text_ = text;
  if (owner_ == nullptr || handle_ == nullptr) return;
  std::wstring w = Widen(text);
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = handle_;
  item.pszText = w.data();
  SendMessageW(owner_->Handle(), TVM_SETITEMW, 0, (LPARAM)&item);
}

void TTreeNode::Expand() {
  if (owner_ != nullptr) SendMessageW(owner_->Handle(), TVM_EXPAND, TVE_EXPAND, (LPARAM)handle_);
}

TTreeView::TTreeView(TControl* parent)
    : TControl(parent, {.ClassName = WC_TREEVIEWW,
                        .Style = TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP,
                        .ExStyle = WS_EX_CLIENTEDGE,
                        .Width = 121,
                        .Height = 97}) {
  SetColor(clWindow);
}

TTreeView::~TTreeView() { nodes_.clear(); }

TTreeNode* TTreeView::Add(TTreeNode* parent, const std::string& text, void* data) {
  auto node = std::make_unique<TTreeNode>();
  node->owner_ = this;
  node->parent_ = parent;
  node->text_ = text;
  node->Data = data;
  std::wstring w = Widen(text);
  TVINSERTSTRUCTW ins{};
  ins.hParent = parent != nullptr ? parent->handle_ : TVI_ROOT;
  ins.hInsertAfter = TVI_LAST;
  ins.item.mask = TVIF_TEXT | TVIF_PARAM;
  ins.item.pszText = w.data();
  ins.item.lParam = (LPARAM)node.get();
  node->handle_ = (HTREEITEM)SendMessageW(Handle(), TVM_INSERTITEMW, 0, (LPARAM)&ins);
  nodes_.push_back(std::move(node));
  return nodes_.back().get();
}

void TTreeView::Clear() {
  SendMessageW(Handle(), TVM_DELETEITEM, 0, (LPARAM)TVI_ROOT);
  nodes_.clear();
}

TTreeNode* TTreeView::Selected() const {
  auto item = (HTREEITEM)SendMessageW(Handle(), TVM_GETNEXTITEM, TVGN_CARET, 0);
  if (item == nullptr) return nullptr;
  TVITEMW tv{};
  tv.mask = TVIF_PARAM;
  tv.hItem = item;
  SendMessageW(Handle(), TVM_GETITEMW, 0, (LPARAM)&tv);
  return reinterpret_cast<TTreeNode*>(tv.lParam);
}

void TTreeView::Select(TTreeNode* node) {
  SendMessageW(Handle(), TVM_SELECTITEM, TVGN_CARET, (LPARAM)(node != nullptr ? node->handle_ : nullptr));
}

bool TTreeView::Notify(NMHDR* hdr, LRESULT& result) {
  if (hdr->code == TVN_SELCHANGEDW && OnChange) OnChange(this);
  return false;
}

// ---- TAnimate ----

TAnimate::TAnimate(TControl* parent)
    : TControl(parent, {.ClassName = ANIMATE_CLASSW, .Style = ACS_TRANSPARENT | ACS_CENTER, .Width = 100, .Height = 80}) {}

bool TAnimate::SetCommonAVI(TCommonAVI avi) {
  SetActive(false);
  SendMessageW(Handle(), ACM_OPENW, 0, 0);
  opened_ = false;
  int id = 0;
  switch (avi) {
    case TCommonAVI::DeleteFile: id = 164; break;
    case TCommonAVI::CopyFile: id = 161; break;
    case TCommonAVI::FindFile: id = 151; break;
    case TCommonAVI::None: return true;
  }
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  if (shell == nullptr) shell = LoadLibraryW(L"shell32.dll");
  if (shell == nullptr) return false;
  opened_ = SendMessageW(Handle(), ACM_OPENW, (WPARAM)shell, (LPARAM)MAKEINTRESOURCEW(id)) != 0;
  return opened_;
}

void TAnimate::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (!opened_) return;
  if (active) {
    SendMessageW(Handle(), ACM_PLAY, (WPARAM)-1, MAKELONG(0, StopFrame > 0 ? StopFrame : 0xFFFF));
  } else {
    SendMessageW(Handle(), ACM_STOP, 0, 0);
  }
}

// ---- TStatusBar ----

TStatusBar::TStatusBar(TControl* parent)
    : TControl(parent, {.ClassName = STATUSCLASSNAMEW, .Style = CCS_BOTTOM, .Width = 200, .Height = 19}) {
  SetAlign(TAlign::Bottom);
}

void TStatusBar::SetPanelWidths(const std::vector<int>& widths) {
  std::vector<int> edges;
  int x = 0;
  for (size_t i = 0; i < widths.size(); ++i) {
    x += widths[i];
    edges.push_back(i + 1 == widths.size() ? -1 : x);
  }
  SendMessageW(Handle(), SB_SETPARTS, edges.size(), (LPARAM)edges.data());
}

// The control aligns a panel's text by the tabs in front of it: one centres it, two align it right.
namespace {
size_t AlignmentTabs(TAlignment alignment) {
  return alignment == TAlignment::Center ? 1 : alignment == TAlignment::RightJustify ? 2 : 0;
}
size_t LeadingTabs(const std::wstring& text) {
  return std::min({text.find_first_not_of(L'\t'), text.size(), size_t(2)});
}
}  // namespace

void TStatusBar::SetPanelAlignment(int index, TAlignment alignment) {
  if (index < 0) return;
  std::string text = PanelText(index);
  if ((size_t)index >= alignments_.size()) alignments_.resize(index + 1, TAlignment::LeftJustify);
  alignments_[index] = alignment;
  SetPanelText(index, text);
}

TAlignment TStatusBar::PanelAlignment(int index) const {
  size_t tabs = LeadingTabs(ControlText(index));
  return tabs == 1 ? TAlignment::Center : tabs == 2 ? TAlignment::RightJustify : TAlignment::LeftJustify;
}

void TStatusBar::SetPanelText(int index, const std::string& text) {
  bool set = index >= 0 && (size_t)index < alignments_.size();
  TAlignment alignment = set ? alignments_[index] : TAlignment::LeftJustify;
  std::wstring shown = std::wstring(AlignmentTabs(alignment), L'\t') + Widen(text);
  SendMessageW(Handle(), SB_SETTEXTW, index, (LPARAM)shown.c_str());
}

std::string TStatusBar::PanelText(int index) const {
  std::wstring text = ControlText(index);
  return Narrow(text.substr(LeadingTabs(text)));
}

std::wstring TStatusBar::ControlText(int index) const {
  int length = LOWORD(SendMessageW(Handle(), SB_GETTEXTLENGTHW, index, 0));
  std::wstring text(length + 1, L'\0');
  SendMessageW(Handle(), SB_GETTEXTW, index, (LPARAM)text.data());
  text.resize(length);
  return text;
}
