// How a scan judges a path that registry data or a shortcut names: the program a command line
// starts, the environment strings in a text expanded as the system expands them, and whether a
// path is missing in a way a scan may report (there in no view of the file system, on a drive
// that is a fixed drive at the moment of the test). What cannot be judged now is not reported.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace PathJudgeUnit {

// A character a file name may hold after its first dot: a letter of any script, a digit, ".",
// "_", "-" or "~". Any other ends the name read from a command line (" /S", ",Entry", ";x").
bool IsProgramNameChar(char c);

// The program path a command line names, read from its text alone (no quotes expected): from
// the drive letter up to the character before a second drive's colon, or else the folder
// followed by the name, which ends at the first character after its first dot that cannot be
// part of a name. "C:\App\un.exe /S" and "C:\a\un.exe /LOG=D:\x.log" give the program.
std::string ReadProgramPath(const std::string& commandLine);

// Whether a command line starts a file that exists: the program in quotes at its start, the
// whole text, the program ReadProgramPath reads, or a leading part ending before a blank that
// names an existing file (arguments such as "-config conf\tool.ini" or "/dir=\y" mislead the
// reading of the text).
bool CommandLineProgramExists(const std::string& commandLine);

// The text as the system's programs may read it: itself, and under 64-bit Windows, when it names
// the program-files folders by their variables, the same naming the system's own folders (a
// 32-bit program expands %ProgramFiles% to the 32-bit folder, the system's programs to theirs).
std::vector<std::string> ViewReadings(const std::string& text);
// The text with its environment strings expanded by the system; false when a variable is left
// that it cannot expand (or the result is longer than the system expands).
bool ExpandEnvironment(const std::string& text, std::string& expanded);
// Each of the text's view readings, passed through `prepare` (a section's own reading, when it
// has one) and expanded; empty when any of them cannot be expanded whole: such a text is not
// judged. Another user's settings (ownVariables false) are expanded by `prepare` alone: this
// program's environment would give its own user's folders for theirs.
std::vector<std::string> ExpandedReadings(const std::string& text,
                                          const std::function<std::string(const std::string&)>& prepare = {},
                                          bool ownVariables = true);

// A text the scan leaves unjudged by its letters alone: it holds a network path (two
// backslashes), a floppy ("A:") or a drive the start-up listed as not fixed.
bool OutOfReach(const std::string& text);
// Whether a path may be judged now: not empty, shorter than the system's file routines' limit,
// not out of reach, on a drive that is fixed at this moment.
bool MayJudge(const std::string& path);

// What a section looks for at a path.
enum class TLookFor {
  File,       // a file (a folder of that name does not count)
  Folder,     // a folder
  Anything,   // a file or a folder
};
// Missing as a scan may report it: the path may be judged now (MayJudge) and its look-up (in any
// view of the file system) found no such thing there: nothing at all ("file not found", "path not
// found"), or only the other kind. Any other answer of the look-up (access denied, a sharing
// violation, a network error) judges nothing. Every section's test of a path comes here.
bool Missing(const std::string& path, TLookFor what);
// The same, for the readings below (as function pointers).
bool FileMissing(const std::string& path);
bool FolderMissing(const std::string& path);
bool NothingAt(const std::string& path);
// True when there is a reading and the test holds for every one.
bool MissingInEveryReading(const std::vector<std::string>& readings, bool (*missing)(const std::string&));

}  // namespace PathJudgeUnit
