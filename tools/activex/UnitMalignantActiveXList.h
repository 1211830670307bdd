// The ActiveX blocker's routines: the downloaded catalogue "Code" of harmful ActiveX objects and
// their kill bits, the bit 0x400 of the value "Compatibility Flags" under the browser's ActiveX
// Compatibility key, which makes the browser refuse to load the object.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace UnitMalignantActiveX {

inline constexpr char kCodeFileName[] = "Code";
inline constexpr char kCodePath[] = "/update/Code";
inline constexpr char kCompatibilityKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\";
inline constexpr char kFlagsValue[] = "Compatibility Flags";
inline constexpr DWORD kKillBit = 0x400;

inline constexpr char kLockedText[] = "Locked";
inline constexpr char kUnlockedText[] = "Unlocked";
inline constexpr char kWarningFormat[] = "%d ActiveX items could cause potential threats to your PC!";
inline constexpr char kLockDoneText[] = "Successfully lock the malignant ActiveX controls!";
inline constexpr char kUnlockDoneText[] = "Successfully unlock the selected ActiveX controls!";
inline constexpr char kNotChangedFormat[] = "%d ActiveX controls could not be changed.";
// Followed by the controls, one a line.
inline constexpr char kNotLockedHead[] =
    "These ActiveX controls were not locked, because their \"Compatibility Flags\" value is not a 32-bit "
    "number and locking would replace it:";

// One line of the catalogue: the object's name, its class identifier, whether its row is ticked
// (the objects to lock) and its status text.
struct TActiveXObject {
  std::string Name;
  std::string Clsid;
  bool Checked = false;
  std::string Status;
};

// Lines are trimmed and empty ones skipped; the name is the text before the first "{", the
// class identifier the rest (the whole line when there is no "{"). Each line is UTF-8 where it
// is valid UTF-8, else in the ANSI code page.
std::vector<TActiveXObject> ParseCodeList(const std::string& bytes);
// The catalogue file read and parsed; no file or an unreadable one gives no objects.
std::vector<TActiveXObject> LoadCodeFile(const std::string& fileName);

// Only a braced class identifier of 8-4-4-4-12 hexadecimal digits names a key the blocker may
// touch: a malformed line is listed but never locked or unlocked.
bool IsWellFormedClsid(const std::string& clsid);

// What an object's "Compatibility Flags" is: not there (nor its key), a double word (4 bytes of
// REG_DWORD), a value of any other type or size, or a key or value that cannot be read now. The
// blocker changes only a double word; anything else stays exactly as it is.
enum class TFlagsState { Absent, Dword, Other, Unreadable };

// Where the kill bits are read and written: the registry, or a test's own store that refuses.
class TKillBitStore {
 public:
  virtual ~TKillBitStore() = default;
  // The state of the object's flags value; flags is set for a double word.
  virtual TFlagsState ReadFlags(const std::string& clsid, DWORD& flags);
  // Creates the key when missing and writes the flags as a double word. Refused (false) when the
  // value there now is of another type or size: it is never replaced.
  virtual bool WriteFlags(const std::string& clsid, DWORD flags);
  virtual bool KeyExists(const std::string& clsid);
  // Deletes the flags value while it holds the kill bit alone (a double word of 0x400), then the
  // key when it holds nothing else. Any other value is left (false).
  virtual bool DeleteFlags(const std::string& clsid);
};

// True when the object's kill bit is set (other bits may be set too).
bool IsLocked(TKillBitStore& store, const std::string& clsid);

// Fills each object's tick and status from its kill bit; returns how many are locked.
int ReadStatuses(TKillBitStore& store, std::vector<TActiveXObject>& objects);

// Progress after each object: (done, total); false stops before the next object.
using TProgress = std::function<bool(int done, int total)>;

// How a Lock or an Unlock went.
struct TRunResult {
  int Failed = 0;                       // objects whose change was refused or could not be read
  std::vector<std::string> NotLocked;   // ticked objects left unlocked because their flags value
                                        // is not a double word ("name {clsid}")
  bool Complete() const { return Failed == 0 && NotLocked.empty(); }
};

// Lock: a ticked object gets its kill bit (other bits kept; a flags value of another kind is
// never replaced: the object stays unlocked and is named); an unticked one whose key exists loses
// it. A status changes only when its write succeeded.
TRunResult LockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress);
// Unlock: every object whose key exists loses its kill bit and is unticked; a flags value that is
// not a double word is no kill bit of ours and stays.
TRunResult UnlockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress);
// The closing message of a run that did not complete: the refused count and the objects not locked.
std::string RunProblemText(const TRunResult& result);

int UncheckedCount(const std::vector<TActiveXObject>& objects);
// The gauge's position after done of total: a whole percentage, halves to the even number.
int GaugePosition(int done, int total);

}  // namespace UnitMalignantActiveX
