// Romvale.cfg's second look: unknown and unread names, shared devices, folders.
#include "config/ConfigReview.h"

#include "support/TempDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

TEST(ConfigReview, NamesItDoesNotKnowOrNeverReads) {
  const struct {
    std::string text;
    std::vector<std::string> warnings;
  } cases[] = {
      {"[Location]\r\nROMFILE=/r\r\n[Communication]\r\nport=COM1\r\nTCPPORT=7\r\n"
       "[Romtype]\r\nROMTYPE12=a|b\r\n[Ports]\r\nCOM8=/dev/x\r\n; TCPPROT=1\r\nkeyless\r\n",
       {}},
      {"[Communication]\nTCPPROT=7100\n",
       {"line 2: unknown key [Communication] TCPPROT (did you "
        "mean TCPPORT?)"}},
      {"[Comunication]\nTCPPROT=7100\n",
       {"line 1: unknown section [Comunication] (did you mean [Communication]?)"}},
      {"[Location]\rTCPPORT=1\r",
       {"line 2: unknown key [Location] TCPPORT (it belongs in "
        "[Communication])"}},
      {"TCPPORT=1\n[Communication]\n", {"line 1: key TCPPORT before any [section] is never read"}},
      {"[Communication]\nPORT=COM1\n  port = COM2\n[communication]\nBAUD=1\n",
       {"line 3: [Communication] port again: only the first one is read",
        "line 4: section [communication] again: only the first one is read"}},
      {"[Ports]\nCOM1=/dev/ttyUSB0\nCOM3=/dev//ttyUSB0\nCOM9=/dev/x\n",
       {"line 4: unknown key [Ports] COM9 (did you mean COM1?)",
        "[Ports] COM1 and COM3 both name /dev/ttyUSB0"}},
      {"[Ports\x1B]\n", {"line 1: unknown section [Ports\\x1B] (did you mean [Ports]?)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> warnings;
    ReviewConfigNames(c.text, warnings);
    EXPECT_EQ(warnings, c.warnings);
  }
}

TEST(ConfigReview, ImageFoldersThatCannotBeUsed) {
  testsupport::TempDir dir;
  std::filesystem::create_directories(dir / "rom");
  testsupport::WriteFile(dir / "file", "x");
  LoaderConfig cfg;
  cfg.romDir = dir.File("rom");
  cfg.bllDir = dir.File("rom");
  EXPECT_TRUE(ReviewImageFolders(cfg).empty());
  cfg.romDir = dir.File("none");
  cfg.bllDir = dir.File("file");
  EXPECT_EQ(ReviewImageFolders(cfg),
            (std::vector<std::string>{
                "[Location] ROMFILE=" + dir.File("none") + ": folder does not exist",
                "[Location] BLLFILE=" + dir.File("file") + ": not a folder"}));
  if (::geteuid() == 0) return;  // root reads every folder
  ::chmod(dir.File("rom").c_str(), 0);
  cfg.romDir = dir.File("rom");
  EXPECT_EQ(ReviewImageFolders(cfg).front(), "[Location] ROMFILE=" + dir.File("rom") +
                                                 ": folder cannot be read (Permission denied)");
  ::chmod(dir.File("rom").c_str(), 0700);
}
