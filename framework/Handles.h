// Owners for the kernel's handles that have no owner class of their own elsewhere: file
// searches, processes, threads, files and events, icons and services. Each closes its handle once, when
// it goes out of scope; it can be moved, not copied.
//
// How to use:
//   TKernelHandle file(CreateFileW(...));       // empty for both null and INVALID_HANDLE_VALUE
//   if (!file) return false;
//   ForEachFile(folder, "*.reg", [&](const TFoundFile& f) { names.push_back(f.Name); return true; });
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include <windows.h>

template <class Closer>
class TOwnedHandle {
 public:
  using Handle = typename Closer::Handle;
  TOwnedHandle() = default;
  explicit TOwnedHandle(Handle h) : handle_(Closer::Valid(h) ? h : Handle{}) {}
  ~TOwnedHandle() { Reset(); }
  TOwnedHandle(TOwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
  TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = std::exchange(other.handle_, Handle{});
    }
    return *this;
  }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;

  Handle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != Handle{}; }
  // Gives the handle up without closing it.
  Handle Release() { return std::exchange(handle_, Handle{}); }
  void Reset(Handle h = Handle{}) {
    if (handle_ != Handle{}) Closer::Close(handle_);
    handle_ = Closer::Valid(h) ? h : Handle{};
  }

 private:
  Handle handle_{};
};

struct TFindCloser {
  using Handle = HANDLE;
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { FindClose(h); }
};
struct TKernelCloser {
  using Handle = HANDLE;
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
struct TIconCloser {
  using Handle = HICON;
  static bool Valid(HICON h) { return h != nullptr; }
  static void Close(HICON h) { DestroyIcon(h); }
};

struct TServiceCloser {
  using Handle = SC_HANDLE;
  static bool Valid(SC_HANDLE h) { return h != nullptr; }
  static void Close(SC_HANDLE h) { CloseServiceHandle(h); }
};

using TFindHandle = TOwnedHandle<TFindCloser>;
using TKernelHandle = TOwnedHandle<TKernelCloser>;
using TIconHandle = TOwnedHandle<TIconCloser>;
using TServiceHandle = TOwnedHandle<TServiceCloser>;   // service manager and services

// One entry of a folder listing ("." and ".." are never reported).
struct TFoundFile {
  std::string Name;             // the name alone, UTF-8
  DWORD Attributes = 0;
  uint64_t Size = 0;
  FILETIME CreationTime{};
  FILETIME LastWriteTime{};
  bool IsFolder() const { return (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  // A folder linked elsewhere (Wine reports linked folders so): walks never enter one.
  bool IsReparsePoint() const { return (Attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// Calls fn for each entry of folder matching mask (e.g. "*.ini") until fn returns false.
// Returns false when the folder could not be listed (missing, no access).
bool ForEachFile(const std::string& folder, const std::string& mask,
                 const std::function<bool(const TFoundFile&)>& fn);
