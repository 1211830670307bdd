// The page: "All" lists every category in order without the browsing history and its clean
// removes exactly the ticked rows (typed addresses, URL cache, files, Run history), the recycle
// bin (inside the build folder) emptied; busy while it cleans and Cancel stops it; no node
// selected; "History".
#include "HistoryFixture.h"

#include <shellapi.h>
#include <shlobj.h>

#include "framework/Forms.h"
#include "scan/PublicFunctionUnit.h"
#include "tools/history/HistoryUnit.h"
#include "tools/history/RecycleUnit.h"

using namespace RecycleUnit;
using PublicFunctionUnit::TRunState;
using testing_support::MessageBoxes;

namespace history_test {
namespace {

// The recycle bin's files as this prefix sees them: Wine keeps the bin in the XDG trash, which
// the test environment puts beside the prefix in the build folder (drive D:); "" when unset.
std::string TrashFiles() {
  wchar_t xdg[1024];
  DWORD n = GetEnvironmentVariableW(L"XDG_DATA_HOME", xdg, 1024);
  if (n == 0 || n >= 1024) return "";
  std::string unixPath = Narrow(xdg, n);
  return "D:\\" + unixPath.substr(unixPath.rfind('/') + 1) + "\\Trash\\files\\";
}

struct HistoryPage : HistoryFixture {
  TFormPtr<TForm> host{new TForm({.Border = TBorderStyle::None})};
  TRecycleForm* page = nullptr;
  testing_support::TKeep<TRunState> keepState{PublicFunctionUnit::ScanState};

  HistoryPage() { MessageBoxes().Clear(); }
  void Open() {
    page = new TRecycleForm(host.get(), keys);
    page->SetBounds(4, 26, 489, 337);
    page->Show();
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < page->DataListView->Count(); ++i) {
      TListItem row;
      page->DataListView->GetRow(i, row);
      rows.push_back(row.Text(1));
    }
    return rows;
  }
  // Unticks, as a click on its check box does, each ticked row whose item the test names.
  void Untick(const std::function<bool(const TRecycleData&)>& which) {
    for (int i = 0; i < page->RowCount(); ++i)
      if (page->RowItem(i).Checked && which(page->RowItem(i))) page->DataListView->OnItemChecked(page->DataListView, i);
  }
};

TEST_F(HistoryPage, AllListsInCategoryOrderAndCleansOnlyTheTickedRows) {
  typed.SetString("", "url1", "http://one.invalid/");
  typed.SetString("", "url2", "http://two.invalid/");
  typed.SetRaw("", "url3", REG_BINARY, {1});   // not text: neither listed nor cleaned
  run.SetString("", "a", "cmd\\1");
  run.SetString("", "b", "notepad\\1");
  run.SetString("", "MRUList", "ab");
  for (const char* f : {"tmp\\t1.txt", "tmp\\t2.txt", "Recent\\r1.lnk", "NetHood\\n1\\x.txt", "History\\h1.txt"})
    temp.WriteFile(f);
  std::string c1 = PlantCacheEntry("c1"), c2 = PlantCacheEntry("c2");
  Open();
  std::vector<std::string> rows = Rows();
  std::vector<std::string> tail = {"http://one.invalid/", "http://two.invalid/", "t1.txt", "t2.txt", "n1",
                                   "r1.lnk", "cmd\\1", "notepad\\1", "ab"};
  ASSERT_GE(rows.size(), tail.size() + 2);
  EXPECT_EQ(std::vector<std::string>(rows.end() - tail.size(), rows.end()), tail);
  EXPECT_TRUE(Contains(rows, c1) && Contains(rows, c2));
  Untick([&](const TRecycleData& item) {
    if (item.Kind == TCategory::IECache) return item.Name != c1;
    return item.Name == "http://one.invalid/" || item.Name == "t2.txt" || item.Name == "notepad\\1";
  });
  std::string trash = TrashFiles(), bin = temp.WriteFile("bin_" + testing_support::TestName() + ".txt");
  ASSERT_FALSE(trash.empty());
  std::wstring from = Widen(bin) + L'\0';
  SHFILEOPSTRUCTW op{.wFunc = FO_DELETE, .pFrom = from.c_str(), .fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT};
  ASSERT_EQ(SHFileOperationW(&op), 0);
  ASSERT_TRUE(FileExists(trash + ExtractFileName(bin))) << "the recycle bin is not inside the build folder";

  page->Button1Click(nullptr);
  EXPECT_FALSE(FileExists(trash + ExtractFileName(bin)));
  EXPECT_EQ(PublicFunctionUnit::ScanState, TRunState::HistoryCleaning);
  EXPECT_TRUE(MessageBoxes().Calls.empty());
  EXPECT_TRUE(typed.ValueExists("", "url1") && typed.ValueExists("", "url3") && run.ValueExists("", "b"));
  EXPECT_FALSE(typed.ValueExists("", "url2") || run.ValueExists("", "a") || run.ValueExists("", "MRUList"));
  EXPECT_TRUE(FileExists(tmp + "t2.txt") && FileExists(temp.Path() + "History\\h1.txt"));
  EXPECT_FALSE(FileExists(tmp + "t1.txt") || FileExists(temp.Path() + "Recent\\r1.lnk"));
  EXPECT_FALSE(DirectoryExists(temp.Path() + "NetHood\\n1"));
  rows = Rows();
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(rows.end() - 3, rows.end()),
            (std::vector<std::string>{"http://one.invalid/", "t2.txt", "notepad\\1"}));
  EXPECT_FALSE(Contains(rows, c1));
  EXPECT_TRUE(Contains(rows, c2));
}

TEST_F(HistoryPage, NoNodeSelectedOnlyTellsAndHistoryIsClearedWithoutABox) {
  temp.WriteFile("History\\h1.txt");
  Open();
  page->DataTreeView->Select(nullptr);
  page->Button1Click(nullptr);
  ASSERT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(MessageBoxes().Calls[0].text, NothingSelectedText);
  EXPECT_EQ(MessageBoxes().Calls[0].flags, 48u);
  int calls = 0;
  page->ClearBrowsingHistory = [&] { return ++calls, HistoryUnit::ClearHistory(); };   // E_NOTIMPL under Wine
  page->DataTreeView->Select(page->CategoryNodes[int(TCategory::History)]);
  EXPECT_EQ(page->RowCount(), 0);
  page->Button1Click(nullptr);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(MessageBoxes().Calls.size(), 1u);
  EXPECT_EQ(page->Items.size(), 1u);
  TFormPtr<TRecycleForm> real(dynamic_cast<TRecycleForm*>(NewHistoryCleanerPage(host.get())));
  ASSERT_TRUE(real);
  wchar_t recent[MAX_PATH];
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_RECENT, nullptr, SHGFP_TYPE_CURRENT, recent), S_OK);
  EXPECT_EQ(real->Folders.Recent, Narrow(recent));
}

TEST_F(HistoryPage, SelectAllOffKeepsEverythingAndCancelStopsWhileItIsBusy) {
  for (int i = 0; i < 30; ++i) temp.WriteFile(Format("tmp\\f%02d.txt", i));
  Open();
  page->DataTreeView->Select(page->CategoryNodes[int(TCategory::TemporaryFiles)]);
  ASSERT_EQ(page->RowCount(), 30);
  int steps = 0;
  page->OnCleanStep = [&](const TRecycleData&) {
    EXPECT_TRUE(page->HoldsWindow());
    page->DataTreeViewChange(nullptr);
    page->Button1Click(nullptr);
    EXPECT_EQ(page->Items.size(), 30u);
    if (++steps == 5) page->RepairDialog->Button1->Click();
  };
  page->cbSelectAll->Click();
  page->Button1Click(nullptr);
  EXPECT_EQ(steps, 0);
  EXPECT_EQ(page->RowCount(), 30);   // listed anew, every row ticked
  page->Button1Click(nullptr);
  EXPECT_EQ(steps, 5);
  EXPECT_EQ(page->RowCount(), 26);
  EXPECT_EQ(PublicFunctionUnit::ScanState, TRunState::StopRepair);
  EXPECT_FALSE(page->HoldsWindow());
}

TEST_F(HistoryPage, ExitStopsACleaningBeforeItsNextFileAndLeavesTheRestWhole) {
  for (int i = 0; i < 12; ++i) temp.WriteFile(Format("tmp\\e%02d.txt", i), "kept whole");
  Open();
  page->DataTreeView->Select(page->CategoryNodes[int(TCategory::TemporaryFiles)]);
  ASSERT_EQ(page->RowCount(), 12);
  int steps = 0;
  page->OnCleanStep = [&](const TRecycleData&) {
    if (++steps == 4) page->StopForExit();
  };
  page->Button1Click(nullptr);
  EXPECT_EQ(steps, 4);
  int left = 0;
  for (int i = 0; i < 12; ++i) {
    std::string file = tmp + Format("e%02d.txt", i);
    if (!FileExists(file)) continue;
    ++left;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(Widen(file).c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(data.nFileSizeLow, 10u) << file;
  }
  EXPECT_EQ(left, 9);
}

TEST_F(HistoryPage, TheSelectAllLabelAppliesTheBoxAsItStandsWithoutTogglingIt) {
  for (const char* f : {"tmp\\s1.txt", "tmp\\s2.txt", "tmp\\s3.txt"}) temp.WriteFile(f);
  Open();
  page->DataTreeView->Select(page->CategoryNodes[int(TCategory::TemporaryFiles)]);
  ASSERT_EQ(page->RowCount(), 3);
  auto shownTicks = [&] {
    std::vector<bool> ticks;
    for (int i = 0; i < page->DataListView->Count(); ++i) {
      TListItem row;
      page->DataListView->GetRow(i, row);
      ticks.push_back(row.Checked);
    }
    return ticks;
  };
  for (bool box : {true, false}) {
    page->cbSelectAll->SetChecked(box);
    page->DataListView->OnItemChecked(page->DataListView, 1);   // the user turns one row the other way
    ASSERT_NE(shownTicks(), std::vector<bool>(3, box));
    page->abSelectAll->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    page->abSelectAll->Perform(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
    EXPECT_EQ(page->cbSelectAll->Checked(), box);
    EXPECT_EQ(shownTicks(), std::vector<bool>(3, box)) << "box " << box;
  }
}

}  // namespace
}  // namespace history_test
