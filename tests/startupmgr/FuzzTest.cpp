// The three record files as users or other programs may leave them: thousands of malformed
// files are listed without a crash and nothing is written anywhere.
#include "StartupFixture.h"

#include <random>

#include "framework/Strings.h"

namespace startup_test {

namespace {

struct StartupRecordFiles : StartupFixture {};

std::string MalformedFile(std::mt19937& random, const std::string& sound) {
  static const char* const pieces[] = {"#", "|", "|E", "\\", "HKEY_CURRENT_USER\\", "\r", "\n", "\r\n", "\xC3\xA9",
                                       "\xE9", "\x00", "\xFF\xFE", "HKEY_LOCAL_MACHINE", "C:\\", "..\\"};
  std::string text;
  int count = random() % 12;
  for (int i = 0; i < count; ++i) {
    switch (random() % 4) {
      case 0: text += sound.substr(0, random() % (sound.size() + 1)); break;
      case 1: text += std::string(pieces[random() % 15], random() % 2 == 0 ? 1 : 2); break;
      case 2: text += std::string(random() % 3000, (char)('a' + random() % 26)); break;
      default: text += sound + "\r\n" + sound; break;
    }
  }
  return text;
}

TEST_F(StartupRecordFiles, MalformedFilesAreListedWithoutWritingAnything) {
  std::mt19937 random(16);
  std::string soundRun = RunFullPath(HKEY_CURRENT_USER) + "#V|v.exe";
  std::string soundDel = user + "\\x.lnk#" + files.DelFolder + "\\x.lnk|E";
  std::string before = Dump();
  for (int round = 0; round < 600; ++round) {
    std::string startup = MalformedFile(random, soundRun), removed = MalformedFile(random, soundRun),
                del = MalformedFile(random, soundDel);
    WriteText(files.StartupDatFile, startup);
    WriteText(files.RemovedDatFile, removed);
    WriteText(files.DelTxtFile, del);
    List();
    LoadRestoreList(files);
    ASSERT_EQ(FileText(files.StartupDatFile), startup);
    ASSERT_EQ(FileText(files.RemovedDatFile), removed);
    ASSERT_EQ(FileText(files.DelTxtFile), del);
  }
  EXPECT_EQ(Dump(), before);
}

}  // namespace

}  // namespace startup_test
