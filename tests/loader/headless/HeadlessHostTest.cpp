// The headless front end's lines (port, status, progress, message).
#include "headless/HeadlessHost.h"

#include "loader/core/CoreFakes.h"

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
class HeadlessHostTest : public ::testing::Test {
 protected:
  HeadlessHostTest() : m_Host(m_Out, m_Err), m_Dlg(m_Channel, m_Host.Host(), "/nonexistent") {
    m_Host.SetDlg(&m_Dlg);
  }
  std::string TakeOut() {
    std::string s = m_Out.str();
    m_Out.str("");
    return s;
  }
  std::ostringstream m_Out;
  std::ostringstream m_Err;
  coretest::FakeChannel m_Channel;
  CHeadlessHost m_Host;
  CDownloadDlg m_Dlg;
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
  m_Dlg.m_strPortStatus = " COM1 : Serial : 57600bps ";
  m_Host.UpdateData(false);
  EXPECT_EQ(TakeOut(), "port:  COM1 : Serial : 57600bps \n");
  m_Host.UpdateData(false);
  EXPECT_EQ(TakeOut(), "");
  m_Dlg.m_strStatus = "\r\nCONNECT 2400\r\n";
  m_Host.UpdateData(false);
  EXPECT_EQ(TakeOut(), "status: \\r\\nCONNECT 2400\\r\\n\n");
  m_Dlg.m_strStatus.clear();
  m_Dlg.m_strPortStatus = "COM1 포트 오류가 발생하였습니다.";
  m_Host.UpdateData(false);
  EXPECT_EQ(TakeOut(), "port: COM1 포트 오류가 발생하였습니다.\nstatus: \n");
}

TEST_F(HeadlessHostTest, ProgressLineAfterEachChangeOfPositionOrMaximum) {
  m_Host.SetRange(0, 100);  // a fresh bar is 0..100 already
  m_Host.SetStep(1);
  m_Host.SetRange(0, 3);
  for (int i = 0; i < 3; ++i) m_Host.StepIt();
  m_Host.SetPos(0);
  m_Host.SetPos(0);
  EXPECT_EQ(TakeOut(),
            "progress: 0/3\nprogress: 1/3\nprogress: 2/3\nprogress: 3/3\nprogress: 0/3\n");
}

TEST_F(HeadlessHostTest, MessageBoxesGoToStderrAndNobodyAnswersDialogs) {
  m_Host.MessageBox("m_QueueRead FULL!");
  m_Host.MessageBox("line\r\nbreak");
  EXPECT_EQ(m_Err.str(), "message: m_QueueRead FULL!\nmessage: line\\r\\nbreak\n");
  EXPECT_EQ(m_Out.str(), "");
  EXPECT_FALSE(m_Host.ChooseFolder("title", "/tmp").has_value());
  EXPECT_FALSE(m_Host.RunPortSetDlg(7, 1, COMM_RS232, "").has_value());
}

TEST_F(HeadlessHostTest, DownloadAndSessionLines) {
  DownloadReport done;
  done.bDone = true;
  done.strFile = "MCA001.bll";
  done.nBytes = 300;
  done.nBlocks = 2;
  done.nMillis = 2045;
  done.strVia = "tcp 127.0.0.1:40001";
  m_Host.DownloadEnded(done);
  done.nMillis = 7;
  done.strVia = "serial COM1";
  m_Host.DownloadEnded(done);
  DownloadReport failed;
  failed.strFile = "TRM-1.jd0";
  failed.strReason = "connection closed";
  failed.strVia = "tcp [::1]:40002";
  m_Host.DownloadEnded(failed);
  m_Host.SessionProgress("127.0.0.1:40001", "SUB\r002.bll", 2, 3);
  EXPECT_EQ(TakeOut(),
            "done: MCA001.bll 300 bytes 2 blocks in 2.045 s via tcp 127.0.0.1:40001\n"
            "done: MCA001.bll 300 bytes 2 blocks in 0.007 s via serial COM1\n"
            "failed: TRM-1.jd0 connection closed via tcp [::1]:40002\n"
            "session: 127.0.0.1:40001 SUB\\r002.bll 2/3\n");
  EXPECT_EQ(m_Err.str(), "");
}

TEST(HeadlessLines, ThrottledSessionShowsWhereItStoppedThenItsEndLast) {
  std::ostringstream out;
  std::ostringstream err;
  CHeadlessHost host(out, err, false);
  for (const int pos : {0, 1, 2, 0}) host.SessionProgress("127.0.0.1:4000", "F.bll", pos, 5);
  DownloadReport failed;
  failed.strFile = "F.bll";
  failed.strReason = "connection closed";
  failed.strVia = "tcp 127.0.0.1:4000";
  host.DownloadEnded(failed);
  EXPECT_EQ(out.str(), "session: 127.0.0.1:4000 F.bll 0/5\nsession: 127.0.0.1:4000 F.bll 2/5\n");
  host.FlushEnded();  // the event loop is idle: the held-back end goes out
  EXPECT_EQ(out.str(),
            "session: 127.0.0.1:4000 F.bll 0/5\nsession: 127.0.0.1:4000 F.bll 2/5\n"
            "failed: F.bll connection closed via tcp 127.0.0.1:4000\n");
  EXPECT_EQ(host.Tally().Total(), 1u);
}
