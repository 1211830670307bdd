#include "RegistryTree.h"

#include <gtest/gtest.h>
#include <winternl.h>

#include "app/MainUnitBackup.h"
#include "framework/StringList.h"
#include "framework/Strings.h"

namespace testing_support {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> v;
  for (int b : values) v.push_back((uint8_t)b);
  return v;
}

std::vector<uint8_t> Utf16(const std::wstring& text, bool terminated) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(text.data());
  std::vector<uint8_t> v(p, p + text.size() * 2);
  if (terminated) v.insert(v.end(), {0, 0});
  return v;
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> v(size);
  for (size_t i = 0; i < size; ++i) v[i] = (uint8_t)(i * 7 + 3);
  return v;
}

std::string RegScript(const std::vector<std::string>& lines) {
  TStringList list;
  list.Items = lines;
  return MainUnit::EncodeRegScript(list);
}

std::string ReadUtf16File(const std::string& fileName) {
  std::string raw = ReadFileBytes(fileName);
  if (raw.size() < 2 || raw.compare(0, 2, "\xFF\xFE") != 0 || raw.size() % 2 != 0) return "<not UTF-16>";
  std::wstring wide((raw.size() - 2) / 2, L'\0');
  memcpy(wide.data(), raw.data() + 2, wide.size() * 2);
  return Narrow(wide);
}

void SetExact(HKEY root, const std::string& key, const std::wstring& name, DWORD type,
              const std::vector<uint8_t>& data) {
  using SetValueFn = NTSTATUS(NTAPI*)(HANDLE, PUNICODE_STRING, ULONG, ULONG, PVOID, ULONG);
  auto setValue = reinterpret_cast<SetValueFn>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey"));
  ASSERT_NE(setValue, nullptr);
  HKEY h;
  ASSERT_EQ(RegCreateKeyExW(root, Widen(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  UNICODE_STRING n;
  n.Buffer = const_cast<wchar_t*>(name.c_str());
  n.Length = n.MaximumLength = (USHORT)(name.size() * 2);
  std::vector<uint8_t> copy = data;
  NTSTATUS status = setValue(h, &n, 0, type, copy.empty() ? nullptr : copy.data(), (ULONG)copy.size());
  RegCloseKey(h);
  ASSERT_EQ(status, 0);
}

static void DumpKey(HKEY key, const std::string& prefix, TTreeDump& dump) {
  dump[prefix] = {};
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD len = 16384;
    DWORD type = 0, size = 0;
    if (RegEnumValueW(key, i, name, &len, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    TDumpedValue v;
    v.Type = type;
    v.Data.resize(size);
    RegQueryValueExW(key, name, nullptr, &type, size ? v.Data.data() : nullptr, &size);
    v.Data.resize(size);
    dump[prefix + "|" + Narrow(name, len)] = v;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[1024];
    DWORD len = 1024;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY sub;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
    DumpKey(sub, prefix + Narrow(name, len) + "\\", dump);
    RegCloseKey(sub);
  }
}

TTreeDump DumpTree(HKEY root, const std::string& path) {
  TTreeDump dump;
  HKEY key;
  if (RegOpenKeyExW(root, Widen(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return dump;
  DumpKey(key, "\\", dump);
  RegCloseKey(key);
  return dump;
}

std::string Differences(const TTreeDump& before, const TTreeDump& after) {
  std::string out;
  for (const auto& [name, value] : before) {
    auto it = after.find(name);
    if (it == after.end()) out += "missing: " + name + "\n";
    else if (!(it->second == value))
      out += Format("differs: %s (type %d, %d bytes -> type %d, %d bytes)\n", name, (int)value.Type,
                    (int)value.Data.size(), (int)it->second.Type, (int)it->second.Data.size());
  }
  for (const auto& entry : after)
    if (before.find(entry.first) == before.end()) out += "added: " + entry.first + "\n";
  return out;
}

}  // namespace testing_support
