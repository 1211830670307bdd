#include "StartupFixture.h"

#include <algorithm>

#include "framework/Handles.h"
#include "framework/ListedEntry.h"
#include "framework/Registry.h"
#include "framework/StringList.h"
#include "framework/Strings.h"

namespace startup_test {

namespace {

void Pad4(std::string& out) { out.append((4 - out.size() % 4) % 4, '\0'); }

std::string Utf16z(const std::string& text) {
  std::wstring w = Widen(text);
  return std::string(reinterpret_cast<const char*>(w.c_str()), (w.size() + 1) * 2);
}

// One block: header, key, value and children, its length in its first word; padded to 4 bytes.
std::string Block(const std::string& key, const std::string& value, uint16_t valueLength, uint16_t type,
                  const std::string& children = "") {
  std::string out(6, '\0');
  out += Utf16z(key);
  Pad4(out);
  out += value;
  if (!children.empty()) {
    Pad4(out);
    out += children;
  }
  uint16_t length = (uint16_t)out.size();
  memcpy(out.data(), &length, 2);
  memcpy(out.data() + 2, &valueLength, 2);
  memcpy(out.data() + 4, &type, 2);
  Pad4(out);
  return out;
}

}  // namespace

std::vector<uint8_t> VersionResource(const std::vector<std::pair<std::string, std::string>>& strings,
                                     const std::string& block, uint16_t language, uint16_t codePage) {
  std::string table;
  for (const auto& [name, value] : strings) {
    std::string text = Utf16z(value);
    table += Block(name, text, (uint16_t)(text.size() / 2), 1);
  }
  std::string stringInfo = Block("StringFileInfo", "", 0, 1, Block(block, "", 0, 1, table));
  const uint16_t pair[] = {language, codePage};
  std::string translation(reinterpret_cast<const char*>(pair), 4);
  std::string varInfo = Block("VarFileInfo", "", 0, 1, Block("Translation", translation, 4, 0));
  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = 0xFEEF04BD;
  fixed.dwStrucVersion = 0x10000;
  fixed.dwFileVersionMS = MAKELONG(2, 1);
  fixed.dwFileVersionLS = MAKELONG(4, 3);
  std::string fixedBytes(reinterpret_cast<const char*>(&fixed), sizeof fixed);
  std::string root = Block("VS_VERSION_INFO", fixedBytes, sizeof fixed, 0, stringInfo + varInfo);
  return std::vector<uint8_t>(root.begin(), root.end());
}

bool WriteProgramWithVersion(const std::string& path, const std::vector<uint8_t>& resource) {
  if (!CopyFileW(Widen(ExeName()).c_str(), Widen(path).c_str(), FALSE)) return false;
  HANDLE update = BeginUpdateResourceW(Widen(path).c_str(), FALSE);
  if (update == nullptr) return false;
  bool ok = UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                            (void*)resource.data(), (DWORD)resource.size());
  return EndUpdateResourceW(update, !ok) && ok;
}

DWORD AttributesOf(const std::string& path) {
  return ListedEntry::Attributes(ExtractFilePath(path), ExtractFileName(path));
}

StartupFixture::StartupFixture() {
  common = temp.Path() + "common";
  user = temp.Path() + "user";
  ForceDirectories(common);
  ForceDirectories(user);
  sources.Folders = {{.RootKey = HKEY_LOCAL_MACHINE, .KeyPath = ShellFoldersKey, .ValueName = "Common Startup", .Data = common},
                     {.RootKey = HKEY_CURRENT_USER, .KeyPath = ShellFoldersKey, .ValueName = "Startup", .Data = user}};
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    for (int k = 0; k < 4; ++k) {
      Box(root).CreateKey(kRunKeys[k]);
      sources.RunKeys.push_back({root, RunKey(root, k)});
    }
  sources.WinIniFile = temp.Path() + "win.ini";
  files = PrepareStartupFiles(temp.Path() + "prog\\");
}

void StartupFixture::List() {
  ASSERT_TRUE(ListStartupEntries(sources, files, reader, listing, [] { return true; }));
}

std::vector<std::string> StartupFixture::RowTexts() const {
  std::vector<std::string> texts;
  for (const TStartupRow& r : listing.Rows)
    texts.push_back(r.Caption + "|" + r.Path + "|" + r.Status + "|" + r.Kind + "|" + r.Extra + "|" +
                    IntToStr(r.ImageIndex) + "/" + IntToStr(r.StateIndex));
  return texts;
}

int StartupFixture::RowOf(const std::string& caption, const std::string& extra) const {
  for (size_t i = 0; i < listing.Rows.size(); ++i)
    if (listing.Rows[i].Caption == caption && (extra.empty() || listing.Rows[i].Extra == extra)) return (int)i;
  return -1;
}

void StartupFixture::Tick(const std::string& caption, const std::string& extra) {
  int index = RowOf(caption, extra);
  ASSERT_GE(index, 0) << caption;
  listing.Rows[index].ImageIndex = ImageTicked;
}

void StartupFixture::PlantRecords(const std::string& disabled, const std::string& removed) {
  for (const std::string& name : {disabled, removed}) {
    hkcu.SetString("Run", name, "old.exe");
    temp.WriteFile("user\\" + AnsiLowerCase(name) + ".lnk", "old");
  }
  List();
  Tick(disabled);
  Tick(AnsiLowerCase(disabled) + ".lnk");
  ASSERT_TRUE(DisableSelected(listing.Rows, files).Empty());
  List();
  Tick(removed);
  Tick(AnsiLowerCase(removed) + ".lnk");
  ASSERT_TRUE(RemoveSelected(listing.Rows, sources, files).Empty());
  List();
}

std::string StartupFixture::Dump() const {
  std::string dump;
  for (const TRunKeyLocation& key : sources.RunKeys) {
    TRegKeyHandle h;
    if (!h.Open(key.Root, key.Key)) continue;
    std::vector<std::string> values;
    TValueReader reader(h.Get());
    std::string name;
    TRegValue value;
    while (reader.Next(name, value))
      values.push_back(name + "=" + IntToStr(value.Type) + ":" + std::string(value.Data.begin(), value.Data.end()));
    std::sort(values.begin(), values.end());
    for (const std::string& v : values) dump += key.Key + "\\" + v + "\n";
  }
  for (const std::string& folder : {common, user})
    ForEachFile(folder + "\\", "*.*", [&](const TFoundFile& f) {
      std::string content = f.IsFolder() ? "<dir>" : testing_support::ExactContent(folder, f.Name);
      dump += folder + "\\" + f.Name + "=" + content + "\n";
      return true;
    });
  return dump + "win.ini=" + (FileExists(sources.WinIniFile) ? ReadFileBytes(sources.WinIniFile) : "");
}

}  // namespace startup_test
