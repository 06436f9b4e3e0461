// The window with the service settings: PORT=NONE (download button off), the
// port failure's reason as the port line's tooltip, and --config's file saved back.
#include "window/DownloadWindow.h"

#include "runtime/LoaderRuntime.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

#include <QLineEdit>
#include <QPushButton>

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

QLineEdit* PortLine(const QWidget& window) {
  return window.findChild<QLineEdit*>("1000");
}
QPushButton* Button(const QWidget& window, const char* id) {
  return window.findChild<QPushButton*>(id);
}
}  // namespace

TEST(WindowService, PortNoneDisablesOnlyTheDownloadButton) {
  qttest::App();
  TempDir dir;
  WriteFile(dir.Path() / "Romvale.cfg", "[Communication]\r\nPORT=NONE\r\n");
  DownloadWindow window;
  std::ostringstream diag;
  LoaderRuntime runtime(window.Host(), dir.Path().string(), 0);
  runtime.SetDiagnostics(diag);
  window.Attach(&runtime.Engine());
  ASSERT_TRUE(runtime.Start());
  EXPECT_EQ(PortLine(window)->text(), QString::fromUtf8("시리얼 포트 사용 안 함"));
  EXPECT_FALSE(Button(window, "3")->isEnabled());
  EXPECT_TRUE(Button(window, "1005")->isEnabled());
  EXPECT_TRUE(Button(window, "1008")->isEnabled());
  EXPECT_NE(diag.str().find("info: serial port none (PORT=NONE), TCP only\n"), std::string::npos);
  window.Attach(nullptr);
}

TEST(WindowService, PortFailureReasonIsTheTooltipAndConfigIsSavedWhereItCameFrom) {
  qttest::App();
  TempDir dir;
  const std::string missing = (dir.Path() / "ttyMissing").string();
  std::filesystem::create_directories(dir.Path() / "etc");
  const std::string cfg = (dir.Path() / "etc" / "my.cfg").string();
  WriteFile(cfg,
            "[Communication]\r\nPORT=COM2\r\nRECONNECT=0\r\n[Ports]\r\nCOM2=" + missing + "\r\n");
  DownloadWindow window;
  std::ostringstream diag;
  LoaderRuntime runtime(window.Host(), dir.Path().string(), 0);
  runtime.SetDiagnostics(diag);
  runtime.SetConfigPath("etc/my.cfg");
  window.Attach(&runtime.Engine());
  ASSERT_TRUE(runtime.Start());
  EXPECT_EQ(runtime.ConfigPath(), cfg);
  EXPECT_EQ(PortLine(window)->text(), QString::fromUtf8("COM2 포트 오류가 발생하였습니다."));
  // The tooltip names the device, the reason and the line that maps it.
  EXPECT_EQ(PortLine(window)->toolTip(),
            QString::fromStdString("COM2 = " + missing +
                                   ": no such device\n[Ports] COM2=" + missing + " in " + cfg));
  EXPECT_FALSE(runtime.ReconnectPending());  // RECONNECT=0
  EXPECT_NE(diag.str().find("warning: serial port COM2 (" + missing +
                            "), 57600 bit/s, RS232: no such device\n"),
            std::string::npos);
  runtime.Engine().OnSaveConfig();
  EXPECT_NE(ReadFile(cfg).find("PORT=COM2\r\n"), std::string::npos);
  EXPECT_NE(ReadFile(cfg).find("BAUD=57600bps\r\n"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Romvale.cfg"));
  EXPECT_NE(diag.str().find("info: configuration saved to " + cfg + "\n"), std::string::npos);
  window.Attach(nullptr);
}
