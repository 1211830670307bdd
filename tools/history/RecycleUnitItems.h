// The history cleaner's work without its page: where the traces lie (TShellFolder), the items of
// the eight categories (TRecycleData), the listers that find them and the cleaners that remove
// the ticked ones.
//
// How to use:
//   TShellFolder folders = LoadShellFolders();
//   std::vector<TRecycleData> items;
//   ListCategory(TCategory::Recent, folders, {}, items);
//   DeleteCheckedFiles(items, [](const TRecycleData&) { return true; });
// A folder that holds the system or the user's own files (a drive root, the Windows or system
// folder, the profile, Program Files, Documents, Pictures, Downloads, the Public folders...) is
// never listed nor cleaned: see IsCleanableFolder.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

#include "../../framework/ListedEntry.h"

namespace RecycleUnit {

// The categories, numbered as the tree's children under "All".
enum class TCategory { RecycleBin = 0, IECache, IEAddress, TemporaryFiles, NetHood, Recent, History, RunMRU };
inline constexpr int CategoryCount = 8;

// The tree's node texts: the root, then one per category in category order.
inline constexpr const char* RootNodeText = "All";
inline constexpr const char* CategoryNodeText[CategoryCount] = {
    "Recycle bin", "IE Cache", "IE Address", "Temporary Files", "NetHood", "Recent", "History", "RunMRU"};

inline constexpr const char* NothingSelectedText = "Please select the specific items for cleanning!";
inline constexpr const char* StartCleaningText = "Start Cleanning...";
inline constexpr const char* LoadingText = "Loading data, please wait...";
inline constexpr const char* ShellLoadFailedText = "Failed to load Shell32.dll.";

// Where the user's traces are kept (HKEY_CURRENT_USER).
inline constexpr const char* ShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* TypedUrlsKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
inline constexpr const char* RunMruKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

// The keys the page reads and cleans (tests give keys of their own).
struct TRecycleKeys {
  std::string ShellFolders = ShellFoldersKey;
  std::string TypedUrls = TypedUrlsKey;
  std::string RunMru = RunMruKey;
};

// The folders of the traces, read once when the page is made. Each is "" when unknown.
struct TShellFolder {
  std::string LocalSettings;
  std::string Cache;           // the browser cache's "Content.IE5" folder
  std::string Temp;            // the temporary folder, with its trailing "\"
  std::string NetHood;
  std::string Recent;
  std::string History;
};
TShellFolder LoadShellFolders(const std::string& shellFoldersKey = ShellFoldersKey);
// The temporary folder as the system gives it, with its trailing "\"; "" when the system gives
// none or one longer than the cleaner's buffer of 255 characters.
std::string TemporaryFolder();

// One trace.
struct TRecycleData {
  TCategory Kind = TCategory::RecycleBin;
  std::string Name;    // the address, the typed text or the file name
  std::string Path;    // the cache folder, the value's name or the file's folder
  bool Checked = true; // to be cleaned
  ListedEntry::TFileStamp Stamp;   // a file or folder: its size and last write time when listed
};

// True for a folder whose entries the cleaner may list and delete: a full path that is not a
// drive root, nor a folder of the system or the programs (Windows, system, Program Files), nor
// the profile or a folder the shell keeps the user's or every user's data in (Documents,
// Desktop, Pictures, Music, Videos, Favorites, Downloads, the Public folders, Start Menu...),
// nor a folder above any of these (the folder of the profiles). The shell is asked at each call.
// Empty or relative text is refused.
bool IsCleanableFolder(const std::string& folder);
// The categories whose items are files and folders deleted one by one (temporary, NetHood, Recent).
bool IsFileKind(TCategory kind);

// ---- listers: each appends its items, ticked ----

void ListIECache(const TShellFolder& folders, std::vector<TRecycleData>& items);
void ListTypedURLs(const std::string& key, std::vector<TRecycleData>& items);
void ListRunMRU(const std::string& key, std::vector<TRecycleData>& items);
// The files and folders directly in folder whose attributes are exactly one of the plain kinds
// (no links, no system entries); nothing when the folder is refused by IsCleanableFolder.
void ListFolderFiles(const std::string& folder, TCategory kind, std::vector<TRecycleData>& items);
// The lister of one category (the recycle bin lists nothing).
void ListCategory(TCategory category, const TShellFolder& folders, const TRecycleKeys& keys,
                  std::vector<TRecycleData>& items);
// The listers of every category in order, the folders judged against one reading of the
// folders the cleaner never touches.
void ListAllCategories(const TShellFolder& folders, const TRecycleKeys& keys, std::vector<TRecycleData>& items);

// ---- cleaners ----

// Asked before a cleaner takes up each ticked item of its kinds; false stops the cleaner there.
using TCleanStep = std::function<bool(const TRecycleData& item)>;

// Empties the recycle bin of every drive without questions, progress or sound. False, after the
// error box, when the shell cannot be loaded.
bool EmptyRecycleBin(HWND owner);
// Removes the ticked cache entries (kind IECache) from the URL cache; returns how many went.
int DeleteIECache(const std::vector<TRecycleData>& items, const TCleanStep& step);
// Deletes the values of the ticked items of kind under key (not created), each only while it
// still holds the item's text (the browser renumbers its typed addresses: by now the name may
// hold another); returns how many went.
int DeleteCheckedValues(const std::vector<TRecycleData>& items, TCategory kind, const std::string& key,
                        const TCleanStep& step);
int DeleteTypedURLs(const std::vector<TRecycleData>& items, const std::string& key, const TCleanStep& step);
int DeleteRunMRU(const std::vector<TRecycleData>& items, const std::string& key, const TCleanStep& step);
// Deletes the ticked files and folders of the temporary, NetHood and Recent categories for good
// (a folder with all it holds), exactly the entries listed (each reached by its exact name, never
// as the system would read it), without questions or error windows; entries of a refused folder,
// entries that became links and entries written since they were listed (another size or last
// write time) are left. Returns how many are gone.
int DeleteCheckedFiles(const std::vector<TRecycleData>& items, const TCleanStep& step);

}  // namespace RecycleUnit
