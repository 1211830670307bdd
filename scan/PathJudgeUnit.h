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

// Missing as a scan may report it: not there (in any view) and on a drive that is fixed now.
bool FileMissing(const std::string& path);     // no file (a folder of that name does not count)
bool FolderMissing(const std::string& path);   // no folder
bool NothingAt(const std::string& path);       // neither a file nor a folder
// True when there is a reading and the test holds for every one.
bool MissingInEveryReading(const std::vector<std::string>& readings, bool (*missing)(const std::string&));

}  // namespace PathJudgeUnit
