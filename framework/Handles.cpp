#include "Handles.h"

#include "Strings.h"

bool ForEachFile(const std::string& folder, const std::string& mask,
                 const std::function<bool(const TFoundFile&)>& fn) {
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += mask;
  WIN32_FIND_DATAW data;
  TFindHandle find(FindFirstFileW(Widen(pattern).c_str(), &data));
  if (!find) return false;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    TFoundFile file{.Name = Narrow(name),
                    .Attributes = data.dwFileAttributes,
                    .Size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                    .CreationTime = data.ftCreationTime,
                    .LastWriteTime = data.ftLastWriteTime};
    if (!fn(file)) break;
  } while (FindNextFileW(find.Get(), &data));
  return true;
}
