#include "PointRestauration.h"

#include <climits>

#include "../../framework/Automation.h"

namespace PointRestauration {

namespace {

// The restore class, reached through the script control. The script connects through the
// scripting locator rather than binding the moniker "winmgmts:\\.\root\default:Systemrestore":
// both give the same class object, but under Wine every bind of the moniker starts a surrogate
// process that never ends.
const char* const kScriptLanguage = "VBScript";
const char* const kRestoreClassExpression =
    "CreateObject(\"WbemScripting.SWbemLocator\").ConnectServer(\".\", \"root\\default\").Get(\"SystemRestore\")";
// The listing through the WMI scripting objects.
const char* const kLocatorProgId = "WbemScripting.SWbemLocator";
const char* const kNamespace = "root\\default";
const char* const kRestoreClass = "systemrestore";
const int kWaitForConnection = 128;   // wbemConnectFlagUseMaxWait
const int kThisClassOnly = 1;         // wbemQueryFlagShallow

const size_t kCimDateLength = 25;
const long long kTicksPerSecond = 10000000;
const long long kTicksPerDay = 864000000000LL;
const double kDaysFrom1601To1899 = 109205.0;

// The digits at [first, first + count) as a number; false when one is not a digit.
bool Digits(const std::string& text, size_t first, size_t count, int& value) {
  value = 0;
  for (size_t i = first; i < first + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

long long Ticks(const FILETIME& time) {
  return (long long)(((unsigned long long)time.dwHighDateTime << 32) | time.dwLowDateTime);
}

FILETIME FileTime(long long ticks) {
  FILETIME time;
  time.dwLowDateTime = (DWORD)(unsigned long long)ticks;
  time.dwHighDateTime = (DWORD)((unsigned long long)ticks >> 32);
  return time;
}

// The CIM date-time as UTC ticks since 1601.
bool ParseCimDate(const std::string& cim, long long& utcTicks) {
  if (cim.size() != kCimDateLength || cim[14] != '.' || (cim[21] != '+' && cim[21] != '-')) return false;
  int year, month, day, hour, minute, second, micro, offset;
  if (!Digits(cim, 0, 4, year) || !Digits(cim, 4, 2, month) || !Digits(cim, 6, 2, day) || !Digits(cim, 8, 2, hour) ||
      !Digits(cim, 10, 2, minute) || !Digits(cim, 12, 2, second) || !Digits(cim, 15, 6, micro) ||
      !Digits(cim, 22, 3, offset))
    return false;
  if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59)
    return false;
  SYSTEMTIME stated{(WORD)year, (WORD)month, 0, (WORD)day, (WORD)hour, (WORD)minute, (WORD)second, 0};
  FILETIME time;
  if (!SystemTimeToFileTime(&stated, &time)) return false;
  long long offsetTicks = (long long)offset * 60 * kTicksPerSecond;
  utcTicks = Ticks(time) + micro * 10LL - (cim[21] == '-' ? -offsetTicks : offsetTicks);
  return utcTicks >= 0;
}

// A property of a WMI object read by name; empty when the object has no such property.
TOleVariant Property(const TAutoObject& object, const char* name) {
  try {
    return object.Get(name);
  } catch (const EOleError&) {
    return TOleVariant();
  }
}

TRestorePointRecord ReadRecord(const TAutoObject& object) {
  TRestorePointRecord record;
  record.Description = Property(object, "Description").AsString();
  record.CreationTime = Property(object, "CreationTime").AsString();
  record.SequenceNumber = Property(object, "SequenceNumber").AsString();
  TOleVariant type = Property(object, "RestorePointType");
  record.RestorePointType = type.IsEmpty() ? 0 : type.AsInt();
  return record;
}

// Calls a method of the restore class through the script control.
int CallRestoreClass(const std::string& method, std::initializer_list<TOleVariant> args) {
  TComInit com;
  TAutoObject script = TAutoObject::Create("MSScriptControl.ScriptControl");
  script.Put("Language", kScriptLanguage);
  TAutoObject restoreClass = script.Call("Eval", {kRestoreClassExpression}).AsObject();
  return restoreClass.Call(method, args).AsInt();
}

}  // namespace

bool CimDateToLocal(const std::string& cim, TDateTime& local, const TIME_ZONE_INFORMATION* zone) {
  long long utcTicks;
  if (!ParseCimDate(cim, utcTicks)) return false;
  FILETIME utcTime = FileTime(utcTicks);
  SYSTEMTIME utc, there;
  if (!FileTimeToSystemTime(&utcTime, &utc)) return false;
  if (!SystemTimeToTzSpecificLocalTime(const_cast<TIME_ZONE_INFORMATION*>(zone), &utc, &there)) return false;
  FILETIME localTime;
  if (!SystemTimeToFileTime(&there, &localTime)) return false;
  // Keep the microseconds the system time dropped.
  long long ticks = Ticks(localTime) + utcTicks % kTicksPerSecond - there.wMilliseconds * 10000LL;
  local = (double)ticks / (double)kTicksPerDay - kDaysFrom1601To1899;
  return true;
}

std::string CimDateText(const std::string& cim) {
  TDateTime local;
  return CimDateToLocal(cim, local) ? DateTimeToStr(local) : "";
}

bool RowFromRecord(const TRestorePointRecord& record, TRestorePointRow& row) {
  if (record.RestorePointType == kCancelledOperation) return false;
  row = {record.Description, CimDateText(record.CreationTime), record.SequenceNumber};
  return !Trim(row.Description).empty() && !Trim(row.Date).empty() && !Trim(row.SequenceNumber).empty();
}

std::vector<TRestorePointRow> RestorePointRows(const std::vector<TRestorePointRecord>& records) {
  std::vector<TRestorePointRow> rows;
  for (const TRestorePointRecord& record : records) {
    TRestorePointRow row;
    if (RowFromRecord(record, row)) rows.push_back(row);
  }
  return rows;
}

std::vector<TRestorePointRow> ListRestorePoints(TRestoreProvider& provider) {
  return RestorePointRows(provider.List());
}

bool DeleteRestorePoint(TRestoreProvider& provider, int sequenceNumber) {
  try {
    return provider.Delete(sequenceNumber) == 0;
  } catch (const std::exception&) {
    return false;
  }
}

bool ParseSequenceNumber(const std::string& text, int& number) {
  long long value;
  if (!TryStrToInt(Trim(text), value) || value < INT_MIN || value > INT_MAX) return false;
  number = (int)value;
  return true;
}

// ---- the system's provider ----

std::vector<TRestorePointRecord> TSystemRestoreProvider::List() {
  TComInit com;
  std::vector<TRestorePointRecord> records;
  TAutoObject locator = TAutoObject::Create(kLocatorProgId);
  TAutoObject services =
      locator.Call("ConnectServer", {".", kNamespace, "", "", "", "", kWaitForConnection}).AsObject();
  TAutoObject instances = services.Call("InstancesOf", {kRestoreClass, kThisClassOnly}).AsObject();
  instances.ForEach([&](const TOleVariant& item) {
    records.push_back(ReadRecord(item.AsObject()));
    return true;
  });
  return records;
}

int TSystemRestoreProvider::Create(const std::string& description) {
  return CallRestoreClass("CreateRestorePoint", {description, 0, 100});
}

int TSystemRestoreProvider::Restore(int sequenceNumber) { return CallRestoreClass("Restore", {sequenceNumber}); }

int TSystemRestoreProvider::Delete(int sequenceNumber) { return CallRestoreClass("Delete", {sequenceNumber}); }

}  // namespace PointRestauration
