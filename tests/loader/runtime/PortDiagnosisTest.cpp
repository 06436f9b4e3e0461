// Reasons given for a serial port that cannot be used, the reconnect back-off,
// and what a reload reports as changed.
#include "runtime/ConfigChanges.h"
#include "runtime/PortDiagnosis.h"

#include "loader/comm/PtyPair.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

TEST(PortDiagnosis, EachReasonIsNamed) {
  testsupport::TempDir dir;
  EXPECT_EQ(DescribePortFailure(dir.File("ttyGone"), false), "no such device");
  EXPECT_EQ(DescribePortFailure(dir.File("ttyGone"), true), "no such device");
  // Nothing but a terminal is a serial line, whatever else opens.
  testsupport::WriteFile(dir.File("plain"), "x");
  ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0600), 0);
  for (const std::string& notTerminal :
       {dir.File("plain"), dir.File("fifo"), dir.Path().string(), std::string("/dev/null")}) {
    EXPECT_EQ(DescribePortFailure(notTerminal, false), "not a terminal") << notTerminal;
  }

  PtyPair pty;
  const int fd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(DescribePortFailure(pty.Path(), false), "in use by another program");
  ::close(fd);
  // It opens fine now: after a failure of an open port, the line hung up.
  EXPECT_EQ(DescribePortFailure(pty.Path(), true), "hung up");

  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod(dir.File("plain").c_str(), 0), 0);
    EXPECT_TRUE(DescribePortFailure(dir.File("plain"), false)
                    .starts_with("permission denied (add the user to the 'dialout' group"));
  }
}

TEST(PortDiagnosis, BackoffDoublesFromOneToEightSecondsAndStartsOverAfterASuccess) {
  ReconnectBackoff backoff;
  std::vector<int> delays;
  for (int i = 0; i < 6; ++i) delays.push_back(backoff.NextDelayMs());
  EXPECT_EQ(delays, (std::vector<int>{1000, 2000, 4000, 8000, 8000, 8000}));
  backoff.Reset();
  EXPECT_EQ(backoff.NextDelayMs(), 1000);
}

TEST(ConfigChanges, ChangesAreNamedAndOnlySerialOnesReopenThePort) {
  LoaderConfig a;
  a.romDir = "/rom";
  a.portDevices[0] = "/dev/ttyUSB0";
  a.portDevices[1] = "/dev/ttyS1";
  LoaderConfig b = a;
  EXPECT_TRUE(DescribeConfigChanges(a, b).empty());
  b.romDir = "/rom2";
  b.tcpPace = 0;
  b.portDevices[1] = "/dev/ttyUSB1";  // a port not in use
  EXPECT_EQ(
      DescribeConfigChanges(a, b),
      (std::vector<std::string>{"ROMFILE /rom -> /rom2", "[Ports] COM2 /dev/ttyS1 -> /dev/ttyUSB1",
                                "TCPPACE 500 -> 0"}));
  EXPECT_FALSE(SerialSettingsDiffer(a, b));
  b.portDevices[0] = "/dev/ttyACM0";  // the port in use moves
  EXPECT_TRUE(SerialSettingsDiffer(a, b));
  b = a;
  b.modemInit = "ATZ";  // only matters to a modem line
  EXPECT_FALSE(SerialSettingsDiffer(a, b));
  b.commType = kCommModem;
  EXPECT_TRUE(SerialSettingsDiffer(a, b));
  b = a;
  b.frameDispatch = !a.frameDispatch;  // the reader takes its rule at open
  EXPECT_TRUE(SerialSettingsDiffer(a, b));
  b = a;
  b.noSerialPort = true;
  EXPECT_TRUE(SerialSettingsDiffer(a, b));
  EXPECT_EQ(DescribeConfigChanges(a, b), (std::vector<std::string>{"PORT COM1 -> NONE"}));
  EXPECT_EQ(DescribeSerialPort(a), "COM1 (/dev/ttyUSB0), 57600 bit/s, RS232");
  EXPECT_EQ(DescribeSerialPort(b), "none (PORT=NONE), TCP only");
}
