#include "ExactNames.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "framework/ListedEntry.h"
#include "framework/StringList.h"
#include "framework/Strings.h"

namespace testing_support {

void PlantExact(const std::string& folder, const std::string& name, const std::string& content, DWORD attributes) {
  std::wstring path = ListedEntry::ExactPath(folder, name);
  HANDLE file = path.empty() ? INVALID_HANDLE_VALUE
                             : CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "cannot plant \"" << name << "\" in " << folder << " (error " << GetLastError() << ")";
    return;
  }
  DWORD written = 0;
  WriteFile(file, content.data(), (DWORD)content.size(), &written, nullptr);
  CloseHandle(file);
}

std::string PlantExactFolder(const std::string& folder, const std::string& name) {
  std::wstring path = ListedEntry::ExactPath(folder, name);
  if (path.empty() || !CreateDirectoryW(path.c_str(), nullptr)) ADD_FAILURE() << "cannot make \"" << name << "\" in " << folder;
  return Narrow(path);
}

bool ExactlyThere(const std::string& folder, const std::string& name) {
  return ListedEntry::Attributes(folder, name) != INVALID_FILE_ATTRIBUTES;
}

std::string ExactContent(const std::string& folder, const std::string& name) {
  try {
    return ReadFileBytes(Narrow(ListedEntry::ExactPath(folder, name)));
  } catch (...) {
    return "";
  }
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((ListedEntry::ExactFolder(folder) + L"\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = Narrow(data.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &data));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace testing_support
