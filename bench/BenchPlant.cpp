#include "BenchPlant.h"

#include <cctype>
#include <functional>
#include <vector>

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "framework/Strings.h"

namespace BenchPlant {

namespace {

const char* const kSoftwareKey = "Software\\ZelvoranBench";
const char* const kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char* const kExplorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
const char* const kGuidPrefix = "{5A454C56-";   // the bench's own class and type-library identifiers

const std::string Files = std::string(BenchFolder) + "\\Files";
const std::string HelpFolder = std::string(BenchFolder) + "\\Help";
const std::string Links = std::string(BenchFolder) + "\\Links";

TPlantCounts counts;

// The text with its environment strings expanded, as the system reads a path.
std::string Expanded(const std::string& text) {
  wchar_t buf[32768];
  DWORD n = ExpandEnvironmentStringsW(Widen(text).c_str(), buf, 32768);
  return n == 0 || n > 32768 ? text : Narrow(buf);
}

// Notes the path a text names (see TNamedPaths); an empty path names nothing.
void Names(const std::string& text, const std::string& path) {
  if (!path.empty()) counts.NamedPaths[text] = Expanded(path);
}

// One key, created (or opened) for writing; every creation is counted.
class TKey {
 public:
  TKey(HKEY parent, const std::string& path) {
    if (RegCreateKeyExW(parent, Widen(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) !=
        ERROR_SUCCESS)
      key_ = nullptr;
    else
      ++counts.Keys;
  }
  ~TKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  HKEY Get() const { return key_; }

  // A string value; `named` is the file or folder its data names (see TNamedPaths).
  void Text(const std::string& name, const std::string& value, const std::string& named = {}, DWORD type = REG_SZ) {
    std::wstring w = Widen(value);
    Raw(name, type, w.c_str(), DWORD((w.size() + 1) * sizeof(wchar_t)));
    Names(value, named);
  }
  void Dword(const std::string& name, DWORD value) { Raw(name, REG_DWORD, &value, sizeof value); }
  void Binary(const std::string& name, int size, int seed) {
    std::vector<BYTE> data(size);
    for (int i = 0; i < size; ++i) data[i] = BYTE(seed * 31 + i * 7);
    Raw(name, REG_BINARY, data.data(), (DWORD)data.size());
  }

 private:
  void Raw(const std::string& name, DWORD type, const void* data, DWORD size) {
    if (key_ != nullptr &&
        RegSetValueExW(key_, Widen(name).c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS)
      ++counts.Values;
  }

  HKEY key_ = nullptr;
};

// The font files that the valid font entries name.
constexpr int kFontFiles = 20;
std::string FontFile(int i) { return Format("C:\\windows\\Fonts\\ZelvoranBench%02d.ttf", i); }

std::string AppFile(long u) { return Format("%s\\app%03d.exe", Files, int(u % 100)); }
std::string LibFile(long u) { return Format("%s\\lib%03d.dll", Files, int(u % 100)); }
std::string Guid(const char* middle, long u) { return Format("%s%s-4000-8000-%012X}", kGuidPrefix, middle, int(u)); }

void WriteFileIfMissing(const std::string& path) {
  HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(h, "MZ", 2, &written, nullptr);
  CloseHandle(h);
}

// The files that the valid paths name.
void PlantFiles() {
  ForceDirectories(Files);
  ForceDirectories(HelpFolder);
  for (int i = 0; i < 100; ++i) {
    WriteFileIfMissing(Format("%s\\app%03d.exe", Files, i));
    WriteFileIfMissing(Format("%s\\lib%03d.dll", Files, i));
  }
  for (int i = 0; i < 20; ++i) WriteFileIfMissing(Format("%s\\ZelvoranBench%03d.hlp", HelpFolder, i));
  for (int i = 0; i < kFontFiles; ++i) WriteFileIfMissing(FontFile(i));
}

// A product's settings, as installers leave them: folders, programs, command lines, recent
// documents, numbers and binary state; about one value in twenty names something missing.
// Every tenth product also leaves an empty cache key.
void PlantProduct(HKEY root, long u) {
  std::string product = Format("%s\\Vendor%03d\\Product%05d", kSoftwareKey, int(u / 40), int(u));
  if (u % 40 == 0) TKey vendor(root, Format("%s\\Vendor%03d", kSoftwareKey, int(u / 40)));
  {
    TKey k(root, product);
    k.Text("DisplayName", Format("ZelvoranBench Product %d", int(u)));
    k.Text("Version", Format("%d.%d.%d", int(u % 7), int(u % 13), int(u)));
    std::string dir = u % 20 == 7 ? Format("C:\\Program Files\\ZelvoranBench Gone %d", int(u)) : Files;
    k.Text("InstallDir", dir, dir);
    std::string exe = u % 25 == 3 ? Format("C:\\Program Files\\ZelvoranBench%d\\missing.exe", int(u)) : AppFile(u);
    k.Text("MainExe", exe, exe);
    k.Dword("Flags", DWORD(u * 17));
    k.Binary("State", 24, int(u));
  }
  {
    TKey k(root, product + "\\Settings");
    k.Text("LastLibrary", LibFile(u), LibFile(u));
    if (u % 30 == 11) {
      std::string gone = Format("C:\\ZelvoranBench\\Lib%d\\gone.dll", int(u));
      k.Text("Command", "rundll32.exe " + gone + ",Entry", gone);
    } else {
      k.Text("Command", "\"" + AppFile(u + 1) + "\" /background", AppFile(u + 1));
    }
    k.Text("Editor", "%SystemRoot%\\system32\\notepad.exe", "%SystemRoot%\\system32\\notepad.exe", REG_EXPAND_SZ);
    k.Text("Theme", "Classic");
    k.Dword("WindowLeft", DWORD(u % 800));
  }
  {
    TKey k(root, product + "\\Paths");
    k.Text("Data", Files, Files);
    k.Text("Temp", "%TEMP%\\ZelvoranBench", "%TEMP%\\ZelvoranBench", REG_EXPAND_SZ);
    k.Text("Home", Format("http://zelvoranbench.invalid/product/%d", int(u)));
  }
  {
    TKey k(root, product + "\\Recent");
    k.Text("File1", AppFile(u + 2), AppFile(u + 2));
    std::string document =
        u % 10 == 0 ? Format("C:\\Users\\Public\\Documents\\ZelvoranBench%d.txt", int(u)) : LibFile(u + 3);
    k.Text("File2", document, document);
    k.Text("File3", Files + "\\lib000.dll", Files + "\\lib000.dll");
  }
  if (u % 10 == 0) TKey empty(root, product + "\\Cache\\Empty");
}

// A COM class with its server, program identifier and type library; one server in fifty has an
// empty path and one type library in twenty is not registered.
void PlantComClass(long u) {
  std::string clsid = "CLSID\\" + Guid("0000", u);
  std::string progId = Format("ZelvoranBench.Object.%d", int(u));
  {
    TKey k(HKEY_CLASSES_ROOT, clsid);
    k.Text("", Format("ZelvoranBench Object %d", int(u)));
  }
  {
    TKey k(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32");
    std::string server = u % 50 == 5 ? std::string() : LibFile(u);
    k.Text("", server, server);
    k.Text("ThreadingModel", "Apartment");
  }
  {
    TKey k(HKEY_CLASSES_ROOT, clsid + "\\ProgID");
    k.Text("", progId);
  }
  {
    TKey k(HKEY_CLASSES_ROOT, clsid + "\\TypeLib");
    k.Text("", u % 20 == 9 ? Guid("FFFF", u) : Guid("EEEE", u % 10));
  }
  {
    TKey k(HKEY_CLASSES_ROOT, progId);
    k.Text("", "ZelvoranBench Object");
  }
  TKey k(HKEY_CLASSES_ROOT, progId + "\\CLSID");
  k.Text("", Guid("0000", u));
}

// The registered type libraries the classes point to; one has an empty help folder.
void PlantTypeLibraries() {
  for (int i = 0; i < 10; ++i) {
    std::string lib = "TypeLib\\" + Guid("EEEE", i) + "\\1.0";
    {
      TKey k(HKEY_CLASSES_ROOT, lib);
      k.Text("", Format("ZelvoranBench Library %d", i));
    }
    {
      TKey k(HKEY_CLASSES_ROOT, lib + "\\HELPDIR");
      std::string folder = i == 3 ? std::string() : HelpFolder;
      k.Text("", folder, folder);
    }
    TKey k(HKEY_CLASSES_ROOT, lib + "\\0\\win32");
    k.Text("", LibFile(i), LibFile(i));
  }
}

// A file extension with its class; one in twenty-five names a class that is not there and one
// in forty has an empty class name.
void PlantExtension(long u) {
  std::string cls = Format("ZelvoranBench.File.%d", int(u));
  {
    TKey k(HKEY_CLASSES_ROOT, Format(".zb%05d", int(u)));
    k.Text("", u % 25 == 4 ? Format("ZelvoranBench.Gone.%d", int(u)) : u % 40 == 13 ? std::string() : cls);
    k.Text("Content Type", "application/x-zelvoranbench");
  }
  {
    TKey k(HKEY_CLASSES_ROOT, cls);
    k.Text("", "ZelvoranBench File");
  }
  {
    TKey k(HKEY_CLASSES_ROOT, cls + "\\DefaultIcon");
    k.Text("", AppFile(u) + ",0", AppFile(u));
  }
  TKey k(HKEY_CLASSES_ROOT, cls + "\\shell\\open\\command");
  k.Text("", "\"" + AppFile(u) + "\" \"%1\"", AppFile(u));
}

void PlantAppPath(long u) {
  TKey k(HKEY_LOCAL_MACHINE, Format("%s\\App Paths\\ZelvoranBench%05d.exe", kCurrentVersion, int(u)));
  std::string program = u % 15 == 2 ? Format("C:\\Program Files\\ZelvoranBench%d\\gone.exe", int(u)) : AppFile(u);
  k.Text("", program, program);
  k.Text("Path", Files, Files);
}

void PlantUninstall(long u) {
  TKey k(HKEY_LOCAL_MACHINE, Format("%s\\Uninstall\\ZelvoranBench%05d", kCurrentVersion, int(u)));
  k.Text("DisplayName", Format("ZelvoranBench Product %d", int(u)));
  k.Text("DisplayVersion", "1.0");
  k.Text("Publisher", "ZelvoranBench");
  k.Text("InstallLocation", Files, Files);
  std::string program = u % 15 == 6 ? Format("C:\\Program Files\\ZelvoranBench%d\\uninst.exe", int(u)) : AppFile(u);
  k.Text("UninstallString", "\"" + program + "\" " + (u % 15 == 6 ? "/S" : "/uninstall"), program);
}

// The value lists of fixed keys, sized with the registry: shared DLLs, fonts, help files.
void PlantValueLists(long keys) {
  {
    TKey k(HKEY_LOCAL_MACHINE, std::string(kCurrentVersion) + "\\SharedDlls");
    for (long u = 0; u < keys / 250; ++u) {
      std::string dll = u % 10 == 1 ? Format("C:\\ZelvoranBench\\Shared%d\\gone.dll", int(u))
                                    : Format("%s\\ZelvoranBench%05d\\..\\lib%03d.dll", Files, int(u), int(u % 100));
      k.Dword(dll, 1);
      Names(dll, dll);
    }
  }
  {
    TKey k(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
    for (long u = 0; u < keys / 500; ++u) {
      std::string file = u % 10 == 3 ? Format("ZelvoranBenchGone%d.ttf", int(u))
                                     : Format("ZelvoranBench%02d.ttf", int(u % kFontFiles));
      k.Text(Format("ZelvoranBench Font %d (TrueType)", int(u)), file, "%SystemRoot%\\Fonts\\" + file);
    }
  }
  {
    TKey k(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help");
    for (long u = 0; u < keys / 1000; ++u) {
      std::string file = Format("ZelvoranBench%03d.hlp", int(u));
      k.Text(file, HelpFolder, HelpFolder);
      Names(file, HelpFolder + "\\" + file);
    }
  }
}

// Recent-file lists and start menu order keys: every entry there is a finding, so they stay few.
void PlantExplorerLists(long keys) {
  long entries = keys / 5000 + 1;
  {
    TKey k(HKEY_CURRENT_USER, std::string(kExplorer) + "\\ComDlg32\\OpenSaveMRU\\ZelvoranBench");
    for (long u = 0; u < entries; ++u)
      k.Text(Format("%c", int('a' + u % 26)) + Format("%d", int(u)), AppFile(u), AppFile(u));
  }
  {
    TKey k(HKEY_CURRENT_USER, std::string(kExplorer) + "\\RunMRU");
    for (long u = 0; u < entries; ++u) k.Text(Format("ZelvoranBench%d", int(u)), AppFile(u) + "\\1", AppFile(u));
  }
  for (long u = 0; u < entries; ++u) {
    TKey order(HKEY_CURRENT_USER, Format("%s\\MenuOrder\\Start Menu2\\Programs\\ZelvoranBench%d", kExplorer, int(u)));
    order.Binary("Order", 16, int(u));
    TKey group(HKEY_CURRENT_USER, Format("%s\\MenuOrder\\Start Menu\\Programs\\ZelvoranBench%d", kExplorer, int(u)));
  }
}

// Shortcuts in twenty folders; every other one points to a program that is gone.
void PlantShortcuts(long count) {
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link))) return;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
    for (long u = 0; u < count; ++u) {
      std::string folder = Format("%s\\Group%02d", Links, int(u % 20));
      ForceDirectories(folder);
      std::string target = u % 2 == 1 ? Format("C:\\Program Files\\ZelvoranBench%d\\gone.exe", int(u)) : AppFile(u);
      link->SetPath(Widen(target).c_str());
      std::string shortcut = Format("%s\\ZelvoranBench%04d.lnk", folder, int(u));
      if (SUCCEEDED(file->Save(Widen(shortcut).c_str(), TRUE))) {
        ++counts.Shortcuts;
        Names(shortcut, target);
      }
    }
    file->Release();
  }
  link->Release();
}

// Deletes the subkeys of root\path whose names the predicate picks.
void DeleteSubkeys(HKEY root, const std::string& path, const std::function<bool(const std::string&)>& picked) {
  HKEY key;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  std::vector<std::wstring> doomed;
  wchar_t name[1024];
  for (DWORD i = 0;; ++i) {
    DWORD len = 1024;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (picked(Narrow(name, len))) doomed.emplace_back(name, len);
  }
  for (const std::wstring& n : doomed) RegDeleteTreeW(key, n.c_str());   // the key with its subtree
  RegCloseKey(key);
}

void DeleteValues(HKEY root, const std::string& path) {
  HKEY key;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  std::vector<std::wstring> doomed;
  std::vector<wchar_t> name(32768);
  for (DWORD i = 0;; ++i) {
    DWORD len = (DWORD)name.size();
    if (RegEnumValueW(key, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if (Narrow(name.data(), len).find("ZelvoranBench") != std::string::npos) doomed.emplace_back(name.data(), len);
  }
  for (const std::wstring& n : doomed) RegDeleteValueW(key, n.c_str());
  RegCloseKey(key);
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

void DeleteFolder(const std::string& folder) {
  std::wstring from = Widen(folder);
  from.push_back(L'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;   // no recycle bin
  SHFileOperationW(&op);
}

}  // namespace

// A planted name: "ZelvoranBench" or the bench's class identifiers in any case, or a planted
// extension (".zb" and five digits).
static bool IsPlantedName(const std::string& text) {
  std::string upper = AnsiUpperCase(text);
  if (upper.find("ZELVORANBENCH") != std::string::npos || upper.find(kGuidPrefix) != std::string::npos) return true;
  for (size_t at = upper.find(".ZB"); at != std::string::npos; at = upper.find(".ZB", at + 1)) {
    size_t digits = 0;
    while (digits < 5 && at + 3 + digits < upper.size() && isdigit((unsigned char)upper[at + 3 + digits])) ++digits;
    if (digits == 5) return true;
  }
  return false;
}

bool NamesPlanted(const std::string& keyPath, const std::string& valueName, const std::string& shortName) {
  return IsPlantedName(keyPath) || IsPlantedName(valueName) || IsPlantedName(shortName);
}

void ClearPlanted() {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, Widen(kSoftwareKey).c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, Widen(kSoftwareKey).c_str());
  DeleteSubkeys(HKEY_CLASSES_ROOT, "", [](const std::string& n) {
    return StartsWith(n, "ZelvoranBench.") || (StartsWith(n, ".zb") && n.size() == 8);
  });
  auto benchGuid = [](const std::string& n) { return StartsWith(n, kGuidPrefix); };
  DeleteSubkeys(HKEY_CLASSES_ROOT, "CLSID", benchGuid);
  DeleteSubkeys(HKEY_CLASSES_ROOT, "TypeLib", benchGuid);
  auto benchName = [](const std::string& n) { return n.find("ZelvoranBench") != std::string::npos; };
  DeleteSubkeys(HKEY_LOCAL_MACHINE, std::string(kCurrentVersion) + "\\App Paths", benchName);
  DeleteSubkeys(HKEY_LOCAL_MACHINE, std::string(kCurrentVersion) + "\\Uninstall", benchName);
  DeleteSubkeys(HKEY_CURRENT_USER, std::string(kExplorer) + "\\ComDlg32\\OpenSaveMRU", benchName);
  DeleteSubkeys(HKEY_CURRENT_USER, std::string(kExplorer) + "\\MenuOrder\\Start Menu2\\Programs", benchName);
  DeleteSubkeys(HKEY_CURRENT_USER, std::string(kExplorer) + "\\MenuOrder\\Start Menu\\Programs", benchName);
  DeleteValues(HKEY_LOCAL_MACHINE, std::string(kCurrentVersion) + "\\SharedDlls");
  DeleteValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts");
  DeleteValues(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\Help");
  DeleteValues(HKEY_CURRENT_USER, std::string(kExplorer) + "\\RunMRU");
  DeleteFolder(Links);
  DeleteFolder(Files);
  DeleteFolder(HelpFolder);
  for (int i = 0; i < kFontFiles; ++i) DeleteFileW(Widen(FontFile(i)).c_str());
  RemoveDirectoryW(Widen(BenchFolder).c_str());   // only when nothing else is left in it
}

TPlantCounts PlantRegistry(long keys) {
  counts = {};
  PlantFiles();
  PlantTypeLibraries();
  PlantValueLists(keys);
  PlantExplorerLists(keys);
  PlantShortcuts(keys / 250);
  // Shares of the key budget: machine software settings 30%, user software settings 25%, COM
  // classes 20%, file extensions 15%, application paths and uninstall entries 5% each.
  struct TShare {
    double Part;
    std::function<void(long)> Plant;
  };
  const TShare shares[] = {
      {0.30, [](long u) { PlantProduct(HKEY_LOCAL_MACHINE, u); }},
      {0.25, [](long u) { PlantProduct(HKEY_CURRENT_USER, u); }},
      {0.20, PlantComClass},
      {0.15, PlantExtension},
      {0.05, PlantAppPath},
      {0.05, PlantUninstall},
  };
  for (const TShare& share : shares) {
    long target = counts.Keys + long(keys * share.Part);
    for (long u = 0; counts.Keys < target; ++u) share.Plant(u);
  }
  return counts;
}

}  // namespace BenchPlant
