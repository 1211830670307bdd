#include "PluggedDrive.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "framework/Handles.h"
#include "framework/Strings.h"

namespace testing_support {

namespace {
// The mount manager's request that defines a drive letter (a folder given) or removes it.
struct TUnixDrive {
  ULONG Size;
  ULONG Type;
  ULONG FsType;
  DWORD Serial;
  ULONGLONG UnixDevice;
  WCHAR Letter;
  USHORT MountPointOffset;
  USHORT DeviceOffset;
  USHORT LabelOffset;
};
}  // namespace

TPluggedDrive::TPluggedDrive(char letter, const std::string& folder) : letter_((char)(letter & ~0x20)) {
  using TUnixName = char*(CDECL*)(LPCWSTR);
  auto unixName = reinterpret_cast<TUnixName>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
  char* name = unixName != nullptr ? unixName(Widen(ExcludeTrailingBackslash(folder)).c_str()) : nullptr;
  if (name != nullptr) {
    unixFolder_ = name;
    HeapFree(GetProcessHeap(), 0, name);
  }
}

bool TPluggedDrive::Define(const std::string& unixFolder) const {
  const DWORD defineUnixDrive = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
  TKernelHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!manager) return false;
  std::vector<char> request(sizeof(TUnixDrive) + unixFolder.size() + 1, 0);
  auto* drive = reinterpret_cast<TUnixDrive*>(request.data());
  drive->Size = (ULONG)request.size();
  drive->Letter = (WCHAR)(letter_ | 0x20);
  drive->Type = unixFolder.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
  if (!unixFolder.empty()) {
    drive->MountPointOffset = sizeof(TUnixDrive);
    memcpy(request.data() + sizeof(TUnixDrive), unixFolder.c_str(), unixFolder.size());
  }
  DWORD returned = 0;
  return DeviceIoControl(manager.Get(), defineUnixDrive, request.data(), (DWORD)request.size(), nullptr, 0, &returned,
                         nullptr);
}

}  // namespace testing_support
