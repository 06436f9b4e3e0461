// The headless front end's lines (port, status, progress, message).
#include "headless/HeadlessHost.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
class HeadlessHostTest : public ::testing::Test {
 protected:
  HeadlessHostTest() : m_host(m_out, m_err) {}
  std::string TakeOut() {
    std::string s = m_out.str();
    m_out.str("");
    return s;
  }
  std::ostringstream m_out;
  std::ostringstream m_err;
  HeadlessHost m_host;
  EngineSnapshot m_shown;
};
}  // namespace

TEST(HeadlessLines, ControlBytesAreEscapedOtherBytesKept) {
  EXPECT_EQ(EscapeLine("\r\nRING\r\n"), "\\r\\nRING\\r\\n");
  EXPECT_EQ(EscapeLine("a\\b\tc"), "a\\b\\x09c");
  // A file name from a peer must not reset or ring the operator's terminal.
  EXPECT_EQ(EscapeLine("File open error !! - MCA\x1b"
                       "c\a.bll"),
            "File open error !! - MCA\\x1Bc\\x07.bll");
  EXPECT_EQ(EscapeLine("환경 파일이 존재하지 않습니다."), "환경 파일이 존재하지 않습니다.");
}

TEST_F(HeadlessHostTest, OneLinePerChangedField) {
  m_shown.portLine = " COM1 : Serial : 57600bps ";
  m_host.Show(m_shown);
  EXPECT_EQ(TakeOut(), "port:  COM1 : Serial : 57600bps \n");
  m_host.Show(m_shown);
  EXPECT_EQ(TakeOut(), "");
  m_shown.status = "\r\nCONNECT 2400\r\n";
  m_host.Show(m_shown);
  EXPECT_EQ(TakeOut(), "status: \\r\\nCONNECT 2400\\r\\n\n");
  m_shown.status.clear();
  m_shown.portLine = "COM1 포트 오류가 발생하였습니다.";
  m_host.Show(m_shown);
  EXPECT_EQ(TakeOut(), "port: COM1 포트 오류가 발생하였습니다.\nstatus: \n");
}

TEST_F(HeadlessHostTest, ProgressLineAfterEachChangeOfPositionOrMaximum) {
  m_host.SetRange(0, 100);  // a fresh bar is 0..100 already
  m_host.SetStep(1);
  m_host.SetRange(0, 3);
  for (int i = 0; i < 3; ++i) m_host.StepIt();
  m_host.SetPos(0);
  m_host.SetPos(0);
  EXPECT_EQ(TakeOut(),
            "progress: 0/3\nprogress: 1/3\nprogress: 2/3\nprogress: 3/3\nprogress: 0/3\n");
}

TEST_F(HeadlessHostTest, MessageBoxesGoToStderrAndNobodyAnswersDialogs) {
  m_host.MessageBox("m_QueueRead FULL!");
  m_host.MessageBox("line\r\nbreak");
  EXPECT_EQ(m_err.str(), "message: m_QueueRead FULL!\nmessage: line\\r\\nbreak\n");
  EXPECT_EQ(m_out.str(), "");
  EXPECT_FALSE(m_host.ChooseFolder("title", "/tmp").has_value());
  EXPECT_FALSE(m_host.RunPortSetDlg(7, 1, kCommRs232, "").has_value());
}

TEST_F(HeadlessHostTest, DownloadAndSessionLines) {
  DownloadReport done;
  done.done = true;
  done.file = "MCA001.bll";
  done.bytes = 300;
  done.blocks = 2;
  done.millis = 2045;
  done.via = "tcp 127.0.0.1:40001";
  m_host.DownloadEnded(done);
  done.millis = 7;
  done.via = "serial COM1";
  m_host.DownloadEnded(done);
  DownloadReport failed;
  failed.file = "TRM-1.jd0";
  failed.reason = "connection closed";
  failed.via = "tcp [::1]:40002";
  m_host.DownloadEnded(failed);
  m_host.SessionProgress("127.0.0.1:40001", "SUB\r002.bll", 2, 3);
  EXPECT_EQ(TakeOut(),
            "done: MCA001.bll 300 bytes 2 blocks in 2.045 s via tcp 127.0.0.1:40001\n"
            "done: MCA001.bll 300 bytes 2 blocks in 0.007 s via serial COM1\n"
            "failed: TRM-1.jd0 connection closed via tcp [::1]:40002\n"
            "session: 127.0.0.1:40001 SUB\\r002.bll 2/3\n");
  EXPECT_EQ(m_err.str(), "");
}

TEST(HeadlessLines, ThrottledSessionShowsWhereItStoppedThenItsEndLast) {
  std::ostringstream out;
  std::ostringstream err;
  HeadlessHost host(out, err, false);
  for (const int pos : {0, 1, 2, 0}) host.SessionProgress("127.0.0.1:4000", "F.bll", pos, 5);
  DownloadReport failed;
  failed.file = "F.bll";
  failed.reason = "connection closed";
  failed.via = "tcp 127.0.0.1:4000";
  host.DownloadEnded(failed);
  EXPECT_EQ(out.str(), "session: 127.0.0.1:4000 F.bll 0/5\nsession: 127.0.0.1:4000 F.bll 2/5\n");
  host.FlushEnded();  // the event loop is idle: the held-back end goes out
  EXPECT_EQ(out.str(),
            "session: 127.0.0.1:4000 F.bll 0/5\nsession: 127.0.0.1:4000 F.bll 2/5\n"
            "failed: F.bll connection closed via tcp 127.0.0.1:4000\n");
  EXPECT_EQ(host.Tally().Total(), 1u);
}

TEST(HeadlessLines, PercentStatusesOfManyDownloadsAtOnceAreHeldButNoneThatMatters) {
  // All within one second: each line is shown, held (h) or shown after the one held.
  const std::vector<std::pair<std::string, std::string>> steps = {
      {"A.bll download is started", "A.bll download is started"},
      {"A.bll  0% downloaded...", "A.bll  0% downloaded..."},
      {"A.bll  1% downloaded...", "h"},
      {"B.bll  0% downloaded...", "B.bll  0% downloaded..."},  // a start is always shown
      {"A.bll  2% downloaded...", "h"},
      {"B.bll  1% downloaded...", "h"},
      {"File open error !! - C.bll", "B.bll  1% downloaded...|File open error !! - C.bll"},
      {"A.bll  3% downloaded...", "A.bll  3% downloaded..."},
      {"A.bll  4% downloaded...", "h"},
      {"end", "A.bll  4% downloaded...|failed: A.bll connection closed via tcp 127.0.0.1:1"},
      {"A.bll  100% downloaded...", "A.bll  100% downloaded..."},
  };
  for (const bool everyStep : {false, true}) {
    std::ostringstream out;
    std::ostringstream err;
    HeadlessHost host(out, err, everyStep);
    host.SetClock([] { return std::int64_t{5000}; });
    std::string expected;
    EngineSnapshot shown;
    for (const auto& [status, lines] : steps) {
      if (status == "end") {
        DownloadReport failed;
        failed.file = "A.bll";
        failed.reason = "connection closed";
        failed.via = "tcp 127.0.0.1:1";
        host.DownloadEnded(failed);
        host.FlushEnded();
      } else {
        shown.status = status;
        host.Show(shown);
      }
      std::string want = everyStep && status != "end" ? status : lines;
      if (everyStep && status == "end") want = want.substr(want.find('|') + 1);
      if (want == "h") continue;
      for (std::size_t start = 0; start <= want.size();) {
        const std::size_t bar = std::min(want.find('|', start), want.size());
        const std::string line = want.substr(start, bar - start);
        expected += (line.starts_with("failed: ") ? "" : "status: ") + line + "\n";
        start = bar + 1;
      }
    }
    EXPECT_EQ(out.str(), expected) << "everyStep " << everyStep;
  }
}
