// The error utilities' routines: the downloaded list of known error fixes ("errorlist.txt"),
// checked line by line before anything of it is shown, the page's rows, and the repair that
// applies the ticked fixes to the registry.
//
// A line reads: title ")" key path "||" operation { "," operation } "##" description, where an
// operation is value name "#" data "$" action "@" type (action 1 write, 2 delete the value;
// type 0 double word given in decimal, 1 string).
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "../../scan/UnitErrorList.h"

namespace UnitSystemError {

inline constexpr char kListFileName[] = "errorlist.txt";
inline constexpr char kListPath[] = "/update/errorlist.txt";
inline constexpr char kRepairedText[] = "The error(s) has been repaired successfully!";
inline constexpr char kNothingAppliedText[] = "No fix could be applied to the ticked items.";
// Followed by the titles, one a line.
inline constexpr char kNotRepairedHead[] =
    "Not every error could be repaired. These were not repaired, or not completely:";
// Followed by the titles, one a line: every operation of theirs deletes a value that is not there.
inline constexpr char kNothingToRepairHead[] = "Nothing was changed: these items had nothing to repair:";
// The list could not be downloaded, or its file is there but cannot be read (another program holds it).
inline constexpr char kListNotLoadedText[] =
    "The list of known errors could not be loaded. Only the built-in items are shown; please try again later.";
inline constexpr char kListMark[] = "reg";   // the second sub-item of a row from the list

// One operation of a fix.
struct TRegOp {
  std::string ValueName;
  std::string Data;
  int Action = 0;   // 1 write, 2 delete the value
  int Type = 0;     // 0 double word, 1 string
};

// A row of the page: a fix from the list (its title) or one of the four built-in rows.
struct TErrorRow {
  std::string Caption;
  std::string Description;
  bool FromList = false;
  bool Ticked = false;
};

// The root key of a root's name (exact case), else null.
HKEY RootKeyFromName(const std::string& name);
// The text cut at every separator ("," when not given); none gives the whole text; pieces are
// kept as they are.
std::vector<std::string> SplitString(const std::string& text, char separator = ',');
// One operation piece; false when it lacks "#", "$" or "@", or its action, type or double-word
// data is not one the program applies.
bool ParseOperation(const std::string& piece, TRegOp& op);
// The root and the subkey a key path ("HKEY_...\subkey") opens: empty names (a doubled or a
// trailing "\") are folded away, as the registry folds them. False for an unknown root, no
// subkey, or a name or path longer than the registry allows (which the system would cut short).
bool ResolveKeyPath(const std::string& keyPath, HKEY& root, std::string& subkey);
// One line of the list into its fields and operations; false when the line is not a valid fix
// (it is then not listed). A fix that would write or delete a value in the places that start
// programs or load code (the logon keys, the shell's and the browser's extensions, classes,
// services, ...) is none.
bool ParseErrorLine(const std::string& line, UnitErrorList::TContent& content, std::vector<TRegOp>& ops);

// The list file's lines into the collection (valid lines only) and one row per run of lines
// with the same title.
void LoadErrorList(const std::vector<std::string>& lines, TErrorContents& errors, std::vector<TErrorRow>& rows);
// The four rows every list ends with; they carry no fix.
void AddBuiltinRows(std::vector<TErrorRow>& rows);
// The description of the first fix with exactly this title ("" when none).
std::string FindDescription(const TErrorContents& errors, const std::string& title);

// Applies one operation to the key when the key exists (it is never created); true when the
// value was written or deleted. On 64-bit Windows the key is the one of the system's own view,
// where its 64-bit programs read it (a path may name the 32-bit view through "Wow6432Node").
bool ApplyRegOp(const std::string& keyPath, const TRegOp& op);
// The same for the operations of one fix, the key opened and checked once; how many were applied
// (a deletion of a value that is not there is none). whole tells whether the fix holds now: the
// key was there and every operation was applied or, for a deletion, the value is not there; false
// for a key that could not be opened, a refused location and a write or deletion that failed.
int ApplyRegOps(const std::string& keyPath, const std::vector<TRegOp>& ops, bool& whole);

struct TRepairResult {
  bool AnyTicked = false;                // a list row was ticked (built-in rows carry no fix)
  int Applied = 0;                       // operations applied
  std::vector<std::string> NotRepaired;  // ticked titles with a fix that does not hold wholly, in list order
  std::vector<std::string> NothingToRepair;   // ticked titles whose fixes hold with nothing applied, in list order
};
// Applies every fix whose title is that of a ticked list row, each fix once however many rows
// its title heads, in the list's order.
TRepairResult Repair(const std::vector<TErrorRow>& rows, const TErrorContents& errors);
// kNotRepairedHead and the first titles not repaired, one a line, then how many more.
std::string NotRepairedText(const TRepairResult& result);
// kNothingToRepairHead and the first titles that had nothing to repair, the same way.
std::string NothingToRepairText(const TRepairResult& result);

}  // namespace UnitSystemError
