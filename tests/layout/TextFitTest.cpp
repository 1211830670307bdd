// What a user reads whole: every text measured in its control's own font against the room the
// control gives it (labels and panels their width, list cells their column, menu items their
// row), and the pictures that fill their places. With ZELVORAN_SHOTS set (scripts/screenshot-
// layout) each place stays on screen while the script takes a screenshot of it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/FirstFullBackupUnit.h"
#include "app/HintUnit.h"
#include "app/OptionUnit.h"
#include "app/RepairDialogUnit.h"
#include "tools/startup/StartupManagerUnit.h"
#include "support/MainWindowHost.h"

using testing_support::TempFolder;

namespace {
const int kCellMargins = 12;   // a list cell and a header leave this much around their text

// The screen's DC with a font selected, for measuring texts.
struct TMeasure {
  HDC Dc = GetDC(nullptr);
  HGDIOBJ Old;
  explicit TMeasure(HFONT font) : Old(SelectObject(Dc, font)) {}
  ~TMeasure() {
    SelectObject(Dc, Old);
    ReleaseDC(nullptr, Dc);
  }
};

int TextWidth(HFONT font, const std::string& text) {
  TMeasure m(font);
  std::wstring wide = Widen(text);
  SIZE size{};
  GetTextExtentPoint32W(m.Dc, wide.c_str(), (int)wide.size(), &size);
  return size.cx;
}

HFONT WindowFont(HWND window) { return (HFONT)SendMessageW(window, WM_GETFONT, 0, 0); }

// The column's header and every cell show their texts whole (the first cut one is reported).
void ExpectColumnShowsItsTexts(TListView* list, int column) {
  HWND header = (HWND)SendMessageW(list->Handle(), LVM_GETHEADER, 0, 0);
  int width = list->ColumnWidth(column);
  EXPECT_LE(TextWidth(WindowFont(header), list->ColumnCaption(column)) + kCellMargins, width)
      << list->ColumnCaption(column);
  TListItem row;
  for (int i = 0; i < list->Count(); ++i) {
    list->GetRow(i, row);
    if (TextWidth(WindowFont(list->Handle()), row.Text(column)) + kCellMargins > width) {
      ADD_FAILURE() << "cut in a column " << width << " wide: " << row.Text(column);
      return;
    }
  }
}

// A label shows its text whole with at least one average character of room to spare.
void ExpectLabelShows(TControl* label, const std::string& text) {
  TEXTMETRICW metrics{};
  GetTextMetricsW(TMeasure(label->Font().Handle()).Dc, &metrics);
  EXPECT_LE(TextWidth(label->Font().Handle(), text) + metrics.tmAveCharWidth, label->ClientWidth()) << text;
}

// The columns of the picture that are not transparent, in its parent's coordinates.
std::pair<int, int> DrawnColumns(TImage* image) {
  const TBitmap& p = image->Picture();
  int first = p.Width(), last = -1;
  for (int x = 0; x < p.Width(); ++x)
    for (int y = 0; y < p.Height(); ++y)
      if (!p.Transparent || p.Pixel(x, y) != p.TransparentColor) {
        first = std::min(first, x);
        last = x;
        break;
      }
  return {image->Left() + first, image->Left() + last};
}

// Holds what is on screen there while scripts/screenshot-layout takes its picture.
void ScreenshotOf(const std::string& name, RECT r) {
  const char* folder = std::getenv("ZELVORAN_SHOTS");
  if (folder == nullptr) return;
  std::printf("SHOT %s %ld %ld %ld %ld\n", name.c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top);
  std::fflush(stdout);
  std::wstring done = Widen(std::string(folder) + "\\" + name + ".done");
  for (int i = 0; i < 500 && GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(20);
}

void Screenshot(const std::string& name, TControl* window) {
  if (std::getenv("ZELVORAN_SHOTS") == nullptr) return;
  window->Show();
  window->Repaint();
  Application.ProcessMessages();
  RECT r;
  GetWindowRect(window->Handle(), &r);
  ScreenshotOf(name, r);
}

// 401 findings with long key paths over the seventeen sections, repaired with each status a line
// may show.
void PlantFindings() {
  std::vector<std::string> paths;
  for (int i = 0; i < 24; ++i)
    paths.push_back("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID\\{0D43FE01-F093-11CF-8940-00A0C9054228}\\"
                    "InprocServer32\\" + std::to_string(i));
  for (int s = 0; s < MainUnit::SectionCount; ++s) {
    MainUnit::Sections()[s].Scan = Reports(s == 0 ? std::vector<std::string>(paths.begin(), paths.begin() + 17) : paths);
    MainUnit::Sections()[s].Repair = [](TCaptionTarget&, TListCountTarget& finish, TRegistryContents& c,
                                        TRepairContents& log) {
      for (int i = 0; i < c.Count(); ++i) {
        TRepairRec& line = log.GetItem(log.Add()).Content;
        line.KeyPath = c.GetItem(i).Content.KeyPath;
        const char* statuses[] = {SectionCommon::RepairedText,   SectionCommon::RepairFailedText,
                                  SectionCommon::ChangedSinceScanText, SectionCommon::ExcludedText,
                                  SectionCommon::IgnoreListUnreadText, SectionCommon::OtherCopyText,
                                  SectionCommon::BinCannotTakeText};
        line.Status = statuses[log.Count() % std::size(statuses)];
      }
      finish.SetItemCount(log.Count());
    };
  }
}
}  // namespace

// Wine's own fonts are in the prefix: the forms' face, the menus' face and the caption buttons'
// glyphs are what they name, not a host font of other widths.
TEST(TextFit, TheFacesOfFormsMenusAndCaptionButtonsAreThere) {
  NONCLIENTMETRICSW metrics{sizeof metrics};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  for (const std::string& name : {TFont{}.Name, Narrow(metrics.lfMenuFont.lfFaceName), std::string("Marlett")}) {
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(TMeasure(TFont{.Name = name}.Handle()).Dc, LF_FACESIZE, face);
    EXPECT_EQ(Narrow(face), name);
  }
}

TEST(TextFit, TitleBandResultsAndFinishPagesShowTheirTextsWhole) {
  MainWindowHost host;
  PlantFindings();
  PublicFunctionUnit::MyRegistryInfo.NotAutoBackup = true;
  PublicFunctionUnit::MyRegistryInfo.OneTime = false;
  host.Create();
  TZelvoranMainForm* form = host.form;
  // The title band's buttons stand apart inside the window.
  auto help = DrawnColumns(form->HelpBtn), options = DrawnColumns(form->OptionsBtn), about = DrawnColumns(form->AboutBtn);
  EXPECT_TRUE(help.second + 1 < options.first && options.second + 1 < about.first && about.second < form->ClientWidth());
  Screenshot("title-band", form);

  form->Show();
  form->ScanNowBtnClick(form->ScanNowBtn);
  ASSERT_EQ(form->RepairGrid->ColumnCaption(1), "Problems Found: 401");
  for (int column : {0, 1}) ExpectColumnShowsItsTexts(form->RepairGrid, column);
  EXPECT_EQ(GetWindowLongW(form->RepairGrid->Handle(), GWL_STYLE) & WS_HSCROLL, 0) << "no row hidden by a scroll bar";

  // the exclusion takes the finding out of every section that lists the same key and value
  form->ProblemsListBox->SetItemIndex(1);
  form->ExcludeMenuClick(host.dm.ExcludeMenu);
  ASSERT_EQ(form->ProblemsPanel->Caption(), "  Details of Problems found: 384");
  ASSERT_EQ(Copy(form->abExcludeMsg->Caption(), 1, 13), "Elapsed time:");
  EXPECT_LE(TextWidth(form->ProblemsPanel->Font().Handle(), form->ProblemsPanel->Caption()), form->abExcludeMsg->Left());
  EXPECT_LE(form->abExcludeMsg->Left() + form->abExcludeMsg->Width(), form->abShowHideDetails->Left());
  ExpectLabelShows(form->abShowHideDetails, "Show Details");
  Screenshot("results-page", form);

  form->RepairBtnClick(form->RepairBtn);
  ASSERT_EQ(form->FinishListView->Count(), 384);
  // the outcome column stands whole inside the list, without scrolling; the key paths take the rest
  TListView* finish = form->FinishListView;
  ExpectColumnShowsItsTexts(finish, 1);
  EXPECT_EQ(finish->ColumnWidth(0), finish->Width() - (finish->ColumnWidth(1) + 20));
  int inView = finish->ClientWidth() - finish->ColumnWidth(0);   // of the centred "Status" column
  TListItem row;
  for (int i = 0; i < finish->Count(); ++i) {
    finish->GetRow(i, row);
    int text = TextWidth(WindowFont(finish->Handle()), row.Text(1));
    EXPECT_LE(text + kCellMargins, inView - (finish->ColumnWidth(1) - inView)) << row.Text(1);
  }
  Screenshot("finish-page", form);
}

TEST(TextFit, SmallWindowsShowTheirMessagesWhole) {
  TFormPtr<THintForm> hint(new THintForm);
  hint->PanelHint->SetCaption("Registry Backup");
  hint->LabelMsg->SetCaption("Please wait until the backup operation is finished.");
  TFormPtr<TFirstFullBackupDialog> first(new TFirstFullBackupDialog);
  for (TControl* label : std::initializer_list<TControl*>{hint->PanelHint, hint->LabelMsg, first->Label1, first->Label2})
    ExpectLabelShows(label, label->Caption());
  for (const char* text : {"Backup is in process, please wait.", "Creating registry backup was failed."})
    ExpectLabelShows(first->abMessage, text);
  Screenshot("please-wait", hint.get());
  hint->Hide();

  // The banner spans the dialog above its texts; the repair dialog plays its own animation.
  ASSERT_FALSE(first->Image1->Picture().Empty());
  EXPECT_EQ(first->Image1->Picture().Width(), first->ClientWidth());
  EXPECT_LE(first->Image1->Top() + first->Image1->Picture().Height(), first->Label1->Top());
  Screenshot("first-run-backup", first.get());
  first->Hide();
  TFormPtr<TRepairDialogForm> repair(new TRepairDialogForm);
  EXPECT_TRUE(repair->Animate1->Playing() && repair->Animate1->Picture().Width() <= repair->Animate1->Width() &&
              repair->Animate1->Picture().Height() <= repair->Animate1->Height());
  Screenshot("repair-dialog", repair.get());
}

TEST(TextFit, IgnoreListShowsEverySectionCaptionWhole) {
  TempFolder folder;
  std::string lines;
  for (const MainUnit::TSection& s : MainUnit::Sections()) lines += s.Caption + "|HKEY_CURRENT_USER\\Software\\X|v\r\n";
  PublicFunctionUnit::SetIgnoreFileName(folder.WriteFile("ZelvoranIgnores.dat", lines));
  TFormPtr<TFormOptions> options(new TFormOptions);
  options->LoadIgnoreList();
  ASSERT_EQ(options->IgnoreListView->Count(), MainUnit::SectionCount);
  ExpectColumnShowsItsTexts(options->IgnoreListView, 0);
  options->MainPageControl->SetActivePageIndex(1);
  Screenshot("ignore-list", options.get());
  PublicFunctionUnit::SetIgnoreFileName("");
}

namespace {
struct TMenuCheck {
  int Items = 0;
  std::vector<std::string> Cut;   // items whose text the menu drew shorter than it is
};
TMenuCheck menuCheck;

// Reads the open menu back from the screen: each item's text, drawn right of the pictures'
// column, must run as wide as it measures; a cut text is shorter.
void CALLBACK CheckOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  HWND window = testing_support::ThreadWindow(L"#32768");   // this program's menu, not another test's
  HMENU menu = (HMENU)SendMessageW(window, MN_GETHMENU, 0, 0);
  RECT whole;
  GetWindowRect(window, &whole);
  TBitmap drawn(whole.right - whole.left, whole.bottom - whole.top);
  {
    HDC source = GetWindowDC(window);
    TBitmapDC target(drawn);
    BitBlt(target.Handle(), 0, 0, drawn.Width(), drawn.Height(), source, 0, 0, SRCCOPY);
    ReleaseDC(window, source);
  }
  const COLORREF face = drawn.Pixel(drawn.Width() / 2, 3);
  NONCLIENTMETRICSW metrics{sizeof metrics};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  menuCheck.Items = GetMenuItemCount(menu);
  for (int i = 0; i < menuCheck.Items; ++i) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{.cbSize = sizeof info, .fMask = MIIM_STRING | MIIM_BITMAP | MIIM_STATE, .dwTypeData = text, .cch = 127};
    GetMenuItemInfoW(menu, i, TRUE, &info);
    if (text[0] == 0) continue;
    BITMAP picture{};
    GetObjectW(info.hbmpItem, sizeof picture, &picture);
    // Wine draws menus in the menu face it names or in the forms' face: the narrower of the two
    // is the least a whole text takes.
    LOGFONTW logfont = metrics.lfMenuFont;
    if (info.fState & MFS_DEFAULT) logfont.lfWeight = FW_BOLD;
    HFONT font = CreateFontIndirectW(&logfont);
    TFont forms{.Height = -(int)logfont.lfHeight, .Bold = (info.fState & MFS_DEFAULT) != 0};
    int width = std::min(TextWidth(font, Narrow(text)), TextWidth(forms.Handle(), Narrow(text)));
    DeleteObject(font);
    RECT row;
    GetMenuItemRect(window, menu, i, &row);
    OffsetRect(&row, -whole.left, -whole.top);
    int first = drawn.Width(), last = -1;
    for (int y = row.top; y < row.bottom; ++y)
      for (int x = row.left + std::max<int>(picture.bmWidth, GetSystemMetrics(SM_CXMENUCHECK)) + 2; x < row.right; ++x)
        if (drawn.Pixel(x, y) != face) {
          first = std::min(first, x);
          last = std::max(last, x);
        }
    const int kInkSlack = 3;   // a glyph's ink may stop short of its advance
    if (last - first + 1 + kInkSlack < width || row.right > drawn.Width()) menuCheck.Cut.push_back(Narrow(text));
  }
  InflateRect(&whole, 20, 20);
  ScreenshotOf("tray-menu", whole);
  EndMenu();
}
}  // namespace

TEST(TextFit, TrayMenuShowsItsItemsWhole) {
  MainWindowHost host;
  host.Create();
  menuCheck = {};
  SetTimer(nullptr, 0, 300, CheckOpenMenu);
  host.dm.MainPopupMenu.Popup(200, 200, host.form->Handle());
  EXPECT_EQ(menuCheck.Items, 7);
  EXPECT_EQ(menuCheck.Cut, std::vector<std::string>{});
}

TEST(TextFit, TheStartupManagerShowsEveryColumnAndBothKindsOfBox) {
  // a Run value of the test's own in the user's Run key, and the page as its launcher opens it
  const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const std::wstring name = Widen("Zv Layout " + testing_support::TestName());
  const std::wstring data = L"C:\\windows\\notepad.exe /zv";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, run.c_str(), name.c_str(), REG_SZ, data.c_str(),
                            (DWORD)((data.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  struct TRemove {
    std::wstring Key, Name;
    ~TRemove() { RegDeleteKeyValueW(HKEY_CURRENT_USER, Key.c_str(), Name.c_str()); }
  } remove{run, name};
  MainWindowHost host;
  host.CreateAndShow();
  TZelvoranMainForm* form = host.form;
  form->AdvanceBtnClick(form->AdvanceBtn);
  form->LaunchTool(0, form->ToolLabels[0]);
  auto* page = dynamic_cast<TStartupManagerForm*>(form->Tools[0].Window);
  ASSERT_NE(page, nullptr);
  TListView* list = page->StartupListView;
  int row = -1;
  for (int i = 0; i < (int)page->Listing().Rows.size() && row < 0; ++i)
    if (page->Listing().Rows[i].Caption == Narrow(name)) row = i;
  ASSERT_GE(row, 0);

  // every column stands inside the list; the tick and the details switch are both on the row
  int columns = 0;
  for (int c = 0; c < list->ColumnCount(); ++c) columns += list->ColumnWidth(c);
  EXPECT_LE(columns, list->ClientWidth());
  RECT icon{LVIR_ICON};
  list->Perform(LVM_GETITEMRECT, row, (LPARAM)&icon);
  LPARAM onSwitch = MAKELPARAM(icon.left - 8, (icon.top + icon.bottom) / 2);
  list->Perform(WM_LBUTTONDOWN, MK_LBUTTON, onSwitch);   // the details open below the row
  list->Perform(WM_LBUTTONUP, 0, onSwitch);
  Screenshot("startup-manager", form);
}
