// The window in front of the real loader runtime: a terminal on a real
// pseudo-terminal downloads a ROM image while the window follows.
#include "window/DownloadWindow.h"

#include "loader/comm/PtyPair.h"
#include "runtime/LoaderRuntime.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"
#include "window/WindowMain.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
using Bytes = std::vector<std::uint8_t>;

QString Text(const QWidget& window, int id) {
  return window.findChild<QLineEdit*>(QString::number(id))->text();
}

/// Waits (bounded) until edit 1006 shows `expected`.
bool WaitForStatus(const QWidget& window, const char* expected) {
  return QTest::qWaitFor([&] { return Text(window, 1006) == QString::fromUtf8(expected); }, 5000);
}

/// Romvale.cfg for a direct line on the pseudo-terminal at 115200 bit/s.
void WriteConfig(const TempDir& dir, const PtyPair& pty) {
  WriteFile(
      dir.Path() / "Romvale.cfg",
      "[Location]\r\nROMFILE=" + dir.Path().string() +
          "\r\n[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=115200bps\r\n[Ports]\r\nCOM1=" +
          pty.Path() + "\r\n");
}

}  // namespace

TEST(WindowRuntime, RomDownloadOverPseudoTerminalShowsProgress) {
  qttest::App();
  TempDir dir;
  PtyPair pty;
  WriteFile(dir.Path() / "TRM-0.jd0", std::string(5000, '\x5a'));  // 3 blocks of 2048
  WriteConfig(dir, pty);

  DownloadWindow window;
  LoaderRuntime runtime(window.Host(), dir.Path().string(), 0);
  window.Attach(&runtime.Engine());
  ASSERT_TRUE(runtime.Start());
  window.show();
  EXPECT_EQ(Text(window, 1000), QString(" COM1 : Serial : 115200bps "));
  auto* progress = window.findChild<QProgressBar*>("1013");
  auto* download = window.findChild<QPushButton*>("3");

  pty.Send(Bytes{0x0F, 0x31, 0x30, 0x0E, 0x0F});
  ASSERT_TRUE(WaitForStatus(window, "TRM-0.jd0 download is started"));
  // Three blocks; the first half of an image of equal words checks to 0.
  EXPECT_EQ(pty.Receive(8), (Bytes{0x0F, 0x32, 0x00, 0x03, 0x00, 0x00, 0x0E, 0x3F}));
  EXPECT_FALSE(download->isEnabled());
  EXPECT_EQ(progress->maximum(), 4);

  pty.Send(Bytes{0x0F, 0x33, 0x0E, 0x3D});
  ASSERT_TRUE(WaitForStatus(window, "TRM-0.jd0  0% downloaded..."));
  EXPECT_EQ(pty.Receive(2060).size(), 2060U);
  EXPECT_EQ(progress->value(), 1);

  const Bytes next = {0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F};
  pty.Send(next);
  ASSERT_TRUE(WaitForStatus(window, "TRM-0.jd0  33% downloaded..."));
  EXPECT_EQ(pty.Receive(2060).size(), 2060U);
  EXPECT_EQ(progress->value(), 2);
  pty.Send(next);
  ASSERT_TRUE(WaitForStatus(window, "TRM-0.jd0  66% downloaded..."));
  EXPECT_EQ(pty.Receive(12 + 904).size(), 12U + 904U);
  EXPECT_EQ(progress->value(), 3);
  EXPECT_FALSE(download->isEnabled());

  pty.Send(next);
  ASSERT_TRUE(WaitForStatus(window, "TRM-0.jd0  100% downloaded..."));
  EXPECT_EQ(pty.Receive(4), (Bytes{0x0F, 0x35, 0x0E, 0x3B}));
  EXPECT_EQ(progress->value(), 0);
  EXPECT_TRUE(download->isEnabled());
  window.Attach(nullptr);
}

TEST(WindowRuntime, ReaderMessageBoxIsShownOnTheWindowThread) {
  qttest::App();
  TempDir dir;
  PtyPair pty;
  WriteConfig(dir, pty);
  DownloadWindow window;
  LoaderRuntime runtime(window.Host(), dir.Path().string(), 0);
  window.Attach(&runtime.Engine());
  ASSERT_TRUE(runtime.Start());
  window.show();

  // Every message box that opens is read and answered; the reader waits meanwhile.
  QStringList texts;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&texts] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      EXPECT_EQ(box->thread(), QApplication::instance()->thread());
      texts << box->text();
      box->button(QMessageBox::Ok)->click();
    }
  });
  answer.start(10);
  // One burst of more than the receive queue holds (8191 bytes), with no frame in it.
  pty.Send(std::string(12000, 'A'));
  EXPECT_TRUE(QTest::qWaitFor([&texts] { return !texts.empty(); }, 5000));
  answer.stop();
  ASSERT_FALSE(texts.isEmpty());
  for (const QString& text : texts) EXPECT_EQ(text, QString("m_QueueRead FULL!"));
  window.Attach(nullptr);
}

// Started from the desktop menu: no Romvale.cfg where Tarvix runs.
TEST(WindowRuntime, WithoutALocalFileTheUsersConfigFolderIsUsedAndSaveCreatesIt) {
  qttest::App();
  TempDir dir;
  const fs::path cwd = dir.Path() / "cwd";
  fs::create_directories(cwd);
  const std::string xdg = (dir.Path() / "xdg/tarvix/Romvale.cfg").string();
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string savedXdg = oldXdg != nullptr ? oldXdg : "";
  const std::string savedHome = oldHome != nullptr ? oldHome : "";

  ::setenv("HOME", (dir.Path() / "home").c_str(), 1);
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(WindowConfigPath({}, cwd.string()),
            (dir.Path() / "home/.config/tarvix/Romvale.cfg").string());
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_EQ(WindowConfigPath({}, cwd.string()),
            (dir.Path() / "home/.config/tarvix/Romvale.cfg").string());
  ::setenv("XDG_CONFIG_HOME", (dir.Path() / "xdg").c_str(), 1);
  EXPECT_EQ(WindowConfigPath({}, cwd.string()), xdg);
  EXPECT_EQ(WindowConfigPath({std::nullopt, "given.cfg"}, cwd.string()), "given.cfg");
  WriteFile(cwd / "Romvale.cfg", "");
  EXPECT_EQ(WindowConfigPath({}, cwd.string()), (cwd / "Romvale.cfg").string());
  fs::remove(cwd / "Romvale.cfg");
  const std::string path = WindowConfigPath({}, cwd.string());
  ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  if (oldXdg == nullptr) ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", savedHome.c_str(), 1);

  // The missing file is named, and 설정 저장 makes it, folders and all.
  DownloadWindow window;
  LoaderRuntime runtime(window.Host(), cwd.string(), 0);
  runtime.SetConfigPath(path);
  window.Attach(&runtime.Engine());
  window.show();
  QString shown;
  qttest::WhenModal([&shown](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    shown = box->informativeText();
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_FALSE(runtime.Start());
  EXPECT_EQ(shown, QString::fromUtf8("찾은 위치: ") + QString::fromStdString(xdg));
  runtime.Engine().OnSaveConfig();
  EXPECT_TRUE(fs::is_regular_file(xdg));
  EXPECT_EQ(Text(window, 1006), QString::fromStdString("Configuration saved: " + xdg));
  window.Attach(nullptr);
}
