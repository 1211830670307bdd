// The system's restore points: reading them from the system restore provider of WMI, turning
// them into the rows the page shows, and the provider's three actions (create, restore, delete).
// The page reaches the provider through TRestoreProvider, so tests can put one of their own in
// its place; TSystemRestoreProvider is the real one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "../../framework/Strings.h"

namespace PointRestauration {

// One restore point as the provider describes it: its four properties, read by name.
struct TRestorePointRecord {
  std::string Description;
  std::string CreationTime;     // a CIM date-time "yyyymmddHHMMSS.mmmmmmsUUU"
  std::string SequenceNumber;
  int RestorePointType = 0;
};

// One row of the list: the description, the creation time as local date-time text and the
// sequence number the actions are given.
struct TRestorePointRow {
  std::string Description;
  std::string Date;
  std::string SequenceNumber;
};

// The type of a restore point left by a cancelled operation: never listed.
inline constexpr int kCancelledOperation = 13;

// A CIM date-time (yyyymmddHHMMSS.mmmmmm followed by the signed offset from UTC in minutes) as
// local time in the given time zone (null: the system's). False when the text is not such a date.
bool CimDateToLocal(const std::string& cim, TDateTime& local, const TIME_ZONE_INFORMATION* zone = nullptr);
// The date as the list shows it (the default date-time text in local time); "" when unparsable.
std::string CimDateText(const std::string& cim);

// The row for a restore point; false when it is not listed: a blank description, date or
// sequence number, or a cancelled operation. The row keeps the texts untrimmed.
bool RowFromRecord(const TRestorePointRecord& record, TRestorePointRow& row);
std::vector<TRestorePointRow> RestorePointRows(const std::vector<TRestorePointRecord>& records);

// The restore provider. Each call raises EOleError when the provider fails; the actions return
// the provider's result (0: done).
class TRestoreProvider {
 public:
  virtual ~TRestoreProvider() = default;
  virtual std::vector<TRestorePointRecord> List() = 0;
  virtual int Create(const std::string& description) = 0;
  virtual int Restore(int sequenceNumber) = 0;
  virtual int Delete(int sequenceNumber) = 0;
};

// The system's provider: the listing through the WMI scripting objects, the actions through the
// script control evaluating a moniker of the restore class. COM is initialised for each call.
class TSystemRestoreProvider : public TRestoreProvider {
 public:
  std::vector<TRestorePointRecord> List() override;
  int Create(const std::string& description) override;
  int Restore(int sequenceNumber) override;
  int Delete(int sequenceNumber) override;
};

// The rows of the provider's restore points.
std::vector<TRestorePointRow> ListRestorePoints(TRestoreProvider& provider);

// Deletes a restore point: true only when the provider reports it done. The restore class
// offers no "Delete" on every system; that, like any other error of the provider, is a failure.
// The restore client library's own removal is never called: where it is only a stub it ends
// the program.
bool DeleteRestorePoint(TRestoreProvider& provider, int sequenceNumber);

// A sequence number of the list as an integer; false when the text is not one.
bool ParseSequenceNumber(const std::string& text, int& number);

}  // namespace PointRestauration
