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
inline constexpr char kKeptHead[] =
    "These ActiveX controls were left locked, because their kill bit was set by another program (such as a "
    "security update), not by this one:";

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
// is valid UTF-8, else in the ANSI code page. A class identifier listed again (in any case: it
// names the same key) is passed over, so that one object is never locked by one row and
// unlocked by another.
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

// A registry view the browsers read kill bits in. On 64-bit Windows the 64-bit browser reads the
// 64-bit view and the 32-bit browser the 32-bit one (which this 32-bit program sees by default);
// a 32-bit system has its one view.
struct TKillBitView {
  REGSAM Flag;        // KEY_WOW64_64KEY, KEY_WOW64_32KEY, or 0 for a 32-bit system's one view
  const char* Name;   // the view's name in the blocker's record: "64" or "32"
};
std::vector<TKillBitView> KillBitViews();

// What the blocker made when it set a kill bit itself, so that taking it off again leaves the
// object as it found it: the bit in a flags value that was there, the flags value in a key that
// was there, or the key. Only kill bits the blocker set are ever taken off; one that was there
// before (a system security update sets them) stays.
enum class TMade : DWORD { None = 0, Bit = 1, Value = 2, Key = 3 };
enum class TRecordState { None, Ours, Unreadable };

// The record of the kill bits the blocker set: machine-wide, as the kill bits are, so that every
// user of the machine sees the same. Under HKEY_LOCAL_MACHINE: one subkey per view ("64", "32"),
// one double-word value per object, named by its class identifier, holding what was made (TMade).
extern std::string LockRecordKey;

// Where the kill bits and the record are read and written: the registry, or a test's own store
// that refuses.
class TKillBitStore {
 public:
  TKillBitStore() : Views(KillBitViews()) {}
  virtual ~TKillBitStore() = default;
  // The views an object is locked in: locked means its kill bit is set in every one.
  std::vector<TKillBitView> Views;
  // The state of the object's flags value; flags is set for a double word.
  virtual TFlagsState ReadFlags(const std::string& clsid, const TKillBitView& view, DWORD& flags);
  // Creates the key when missing and writes the flags as a double word. Refused (false) when the
  // value there now is of another type or size: it is never replaced.
  virtual bool WriteFlags(const std::string& clsid, const TKillBitView& view, DWORD flags);
  virtual bool KeyExists(const std::string& clsid, const TKillBitView& view);
  // Deletes the flags value while it holds the kill bit alone (a double word of 0x400), then, when
  // `key` is set, the key when it holds nothing else. Any other value is left (false).
  virtual bool DeleteFlags(const std::string& clsid, const TKillBitView& view, bool key);
  // The record of the object in the view: none, ours (with what was made) or unreadable now.
  virtual TRecordState ReadRecord(const std::string& clsid, const TKillBitView& view, TMade& made);
  virtual bool WriteRecord(const std::string& clsid, const TKillBitView& view, TMade made);
  // True also when there was no record.
  virtual bool DropRecord(const std::string& clsid, const TKillBitView& view);
};

// True when the object's kill bit is set (other bits may be set too) in every view.
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
  std::vector<std::string> Kept;        // objects left locked: their kill bit was not set by the
                                        // blocker ("name {clsid}")
  bool Complete() const { return Failed == 0 && NotLocked.empty() && Kept.empty(); }
};

// Lock: a ticked object gets its kill bit in every view (other bits kept; a flags value of
// another kind in any view is never replaced: the object stays unlocked and is named), recorded
// as the blocker's; an unticked one loses the kill bits the blocker set, and one it did not set
// stays, shown locked and named. A status changes only when its writes succeeded.
TRunResult LockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress);
// Unlock: every object whose key exists loses the kill bits the blocker set and is unticked; a
// kill bit the blocker did not set stays (the object named, shown locked while it is locked in
// every view), and so does a flags value that is not a double word.
TRunResult UnlockItems(TKillBitStore& store, std::vector<TActiveXObject>& objects, const TProgress& progress);
// The closing message of a run that did not complete: the refused count, the objects not locked
// and the objects left locked.
std::string RunProblemText(const TRunResult& result);

int UncheckedCount(const std::vector<TActiveXObject>& objects);
// The rows not shown locked.
int UnlockedCount(const std::vector<TActiveXObject>& objects);
// The gauge's position after done of total: a whole percentage, halves to the even number.
int GaugePosition(int done, int total);

}  // namespace UnitMalignantActiveX
