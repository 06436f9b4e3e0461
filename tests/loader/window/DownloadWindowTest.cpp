// The main window on the real download core with a fake serial channel: what
// the window shows, its buttons and menus, and the dialogs it runs.
#include "window/DownloadWindow.h"

#include "core/DownloadEngine.h"
#include "loader/core/CoreFakes.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"
#include "window/HelpDlg.h"
#include "window/RomFolderDialog.h"

#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;
using Bytes = std::vector<std::uint8_t>;

/// A serial channel that opens without a device (or fails, on request) and
/// records every write.
class FakeChannel : public SerialChannel {
 public:
  bool Open() override {
    PrepareOpen();
    ++m_opens;
    m_open = m_openSucceeds;
    return m_openSucceeds;
  }
  void Close() override {
    ++m_closes;
    m_open = false;
  }
  int Write(std::span<const std::uint8_t> data) override {
    m_written.emplace_back(data.begin(), data.end());
    return static_cast<int>(data.size());
  }
  /// Queues a burst as the reader thread would.
  void Receive(const Bytes& burst) {
    for (std::uint8_t b : burst) m_readQueue.Put(b);
  }

  bool m_openSucceeds = true;
  int m_opens = 0;
  int m_closes = 0;
  std::vector<Bytes> m_written;
};

template <typename T>
T* Control(const QWidget& window, int id) {
  return window.findChild<T*>(QString::number(id));
}

QString Text(const QWidget& window, int id) {
  return Control<QLineEdit>(window, id)->text();
}

QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

class DownloadWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { qttest::App(); }

  /// Writes Romvale.cfg serving ROM images from rom/ at 57600 bit/s on COM1.
  void WriteConfig() {
    fs::create_directories(RomDir());
    WriteFile(
        m_dir.Path() / "Romvale.cfg",
        "[Location]\r\nROMFILE=" + RomDir().string() + "\r\nBLLFILE=" + RomDir().string() +
            "\r\n[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=57600bps\r\nMODEM=ATZ\r\n");
  }

  /// Creates the window and the core the way the program does, and starts it.
  bool Start() {
    m_window = std::make_unique<DownloadWindow>();
    m_core = std::make_unique<DownloadEngine>(m_channel, m_window->Host(), m_dir.Path().string());
    m_window->Attach(m_core.get());
    const bool loaded = m_core->Start().loaded;
    m_window->show();
    return loaded;
  }

  void TearDown() override {
    m_core.reset();
    m_window.reset();
  }

  fs::path RomDir() const { return m_dir.Path() / "rom"; }

  /// Feeds one burst through the serial path, as the reader's hand-off does.
  void Receive(const Bytes& burst) {
    m_channel.Receive(burst);
    m_core->OnCommRead();
  }

  QProgressBar& Progress() const { return *Control<QProgressBar>(*m_window, 1013); }

  std::vector<bool> ButtonsEnabled() const {
    // The 설정 menu's items go with the buttons that do the same.
    return {Control<QPushButton>(*m_window, 1005)->isEnabled(),
            Control<QPushButton>(*m_window, 3)->isEnabled(),
            Control<QPushButton>(*m_window, 1008)->isEnabled(), Command(32779)->isEnabled(),
            Command(32777)->isEnabled()};
  }

  QAction* Command(int id) const { return m_window->findChild<QAction*>(QString::number(id)); }

  TempDir m_dir;
  FakeChannel m_channel;
  std::unique_ptr<DownloadWindow> m_window;
  std::unique_ptr<DownloadEngine> m_core;
};

const std::vector<bool> kAllEnabled = {true, true, true, true, true};
const std::vector<bool> kAllDisabled = {false, false, false, false, false};

}  // namespace

TEST_F(DownloadWindowTest, ShowsControlsTextsAndLoadedSettings) {
  WriteConfig();
  ASSERT_TRUE(Start());
  const DownloadWindow& w = *m_window;
  EXPECT_TRUE(w.windowTitle().startsWith(U("Romvale Ver 1.02")));
  EXPECT_GT(w.windowTitle().size(), QString("Romvale Ver 1.02").size());  // the credit
  EXPECT_FALSE(w.windowIcon().isNull());

  EXPECT_EQ(Control<QPushButton>(w, 1008)->text(), U("롬 파일 위치 설정(&L)"));
  EXPECT_EQ(Control<QPushButton>(w, 1005)->text(), U("통신 포트 설정(&P)"));
  EXPECT_EQ(Control<QPushButton>(w, 3)->text(), U("롬 파일 다운로드(&D)"));
  EXPECT_EQ(Control<QPushButton>(w, 1007)->text(), U("종료(&X)"));
  // No button exits on Enter: the exit button is neither default nor auto-default.
  EXPECT_FALSE(Control<QPushButton>(w, 1007)->isDefault());
  EXPECT_FALSE(Control<QPushButton>(w, 1007)->autoDefault());
  for (int id : {1001, 1000, 1006}) EXPECT_TRUE(Control<QLineEdit>(w, id)->isReadOnly()) << id;
  for (int id : {1001, 1000, 1006, 1008, 1005, 3, 1007, 1013})
    EXPECT_TRUE(w.findChild<QWidget*>(QString::number(id))->isVisible()) << id;
  QStringList groups;
  for (QGroupBox* box : w.findChildren<QGroupBox*>()) groups << box->title();
  EXPECT_EQ(groups, QStringList({U("프로그램 설정"), U("다운로드 진행 상태")}));

  EXPECT_EQ(Text(w, 1001), QString::fromStdString(RomDir().string()));
  EXPECT_EQ(Text(w, 1000), U(" COM1 : Serial : 57600bps "));
  EXPECT_EQ(Text(w, 1006), U(""));
  EXPECT_EQ(ButtonsEnabled(), kAllEnabled);
}

TEST_F(DownloadWindowTest, NeitherEnterNorEscClosesTheWindow) {
  WriteConfig();
  ASSERT_TRUE(Start());
  m_window->show();
  Control<QPushButton>(*m_window, 1007)->setFocus();
  QTest::keyClick(m_window.get(), Qt::Key_Return);
  QTest::keyClick(m_window.get(), Qt::Key_Enter);
  EXPECT_TRUE(m_window->isVisible());
  Control<QLineEdit>(*m_window, 1006)->setFocus();
  QTest::keyClick(m_window.get(), Qt::Key_Return);
  EXPECT_TRUE(m_window->isVisible());
  // Esc pressed to close a menu must not reach the window and end it.
  QTest::keyClick(m_window.get(), Qt::Key_Escape);
  EXPECT_TRUE(m_window->isVisible());
}

TEST_F(DownloadWindowTest, MenuHasItsCommandsAndShowsTheirPrompts) {
  WriteConfig();
  ASSERT_TRUE(Start());
  auto* menuBar = m_window->findChild<QMenuBar*>();
  ASSERT_NE(menuBar, nullptr);
  QStringList titles;
  QStringList items;
  for (QAction* top : menuBar->actions()) {
    titles << top->text();
    for (QAction* item : top->menu()->actions())
      items << (item->isSeparator() ? "-" : item->text());
  }
  EXPECT_EQ(titles, QStringList({U("파일(&F)"), U("설정(&S)"), U("정보(&I)")}));
  EXPECT_EQ(items, QStringList({U("설정 저장(&S)"), "-", U("종료(&X)"), U("롬 파일 위치 설정(&L)"),
                                U("통신 포트 설정(&P)"), "About &Romvale...", "-",
                                U("Tarvix 정보(&A)...")}));

  auto* status = m_window->findChild<QStatusBar*>();
  ASSERT_NE(status, nullptr);
  const std::pair<int, const char*> prompts[] = {{32781, "Configration save"},
                                                 {32780, "Exit program"},
                                                 {32777, "change directory for ROM file location "},
                                                 {32779, "change property for communication port"}};
  for (const auto& [id, prompt] : prompts) {
    Command(id)->showStatusText(menuBar);  // what hovering the item does
    EXPECT_EQ(status->currentMessage(), QString(prompt)) << id;
  }
}

TEST_F(DownloadWindowTest, ScriptedRomDownloadDrivesStatusLineProgressAndButtons) {
  WriteConfig();
  WriteFile(RomDir() / "TRM-0.jd0", std::string(5000, 'x'));  // 3 blocks of 2048
  ASSERT_TRUE(Start());

  Receive({0x0F, 0x31, 0x30, 0x0E, 0x0F});  // request for TRM-0.jd0
  EXPECT_EQ(Text(*m_window, 1006), U("TRM-0.jd0 download is started"));
  EXPECT_EQ(Progress().minimum(), 0);
  EXPECT_EQ(Progress().maximum(), 4);
  EXPECT_EQ(Progress().value(), 0);
  EXPECT_EQ(ButtonsEnabled(), kAllDisabled);

  Receive({0x0F, 0x33, 0x0E, 0x3D});  // begin
  EXPECT_EQ(Text(*m_window, 1006), U("TRM-0.jd0  0% downloaded..."));
  EXPECT_EQ(Progress().value(), 1);

  const Bytes next = {0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F};  // block accepted
  Receive(next);
  EXPECT_EQ(Text(*m_window, 1006), U("TRM-0.jd0  33% downloaded..."));
  EXPECT_EQ(Progress().value(), 2);
  EXPECT_EQ(ButtonsEnabled(), kAllDisabled);
  Receive(next);
  EXPECT_EQ(Text(*m_window, 1006), U("TRM-0.jd0  66% downloaded..."));
  EXPECT_EQ(Progress().value(), 3);

  m_channel.m_written.clear();
  Receive(next);
  EXPECT_EQ(Text(*m_window, 1006), U("TRM-0.jd0  100% downloaded..."));
  ASSERT_EQ(m_channel.m_written.size(), 1U);
  EXPECT_EQ(m_channel.m_written[0], (Bytes{0x0F, 0x35, 0x0E, 0x3B}));
  EXPECT_EQ(Progress().value(), 0);
  EXPECT_EQ(ButtonsEnabled(), kAllEnabled);
}

TEST_F(DownloadWindowTest, AFailedPortExplainsItselfOnItsLineAndOnDownload) {
  WriteConfig();
  m_channel.m_openSucceeds = false;
  ASSERT_TRUE(Start());
  m_channel.m_portDevices[0] = "/dev/serial/by-id/usb-Gone-if00";
  m_core->SetPortReason("no such device");
  EXPECT_EQ(Text(*m_window, 1000), U("COM1 포트 오류가 발생하였습니다."));
  const QString why = QString::fromStdString(
      "COM1 = /dev/serial/by-id/usb-Gone-if00: no such device\n[Ports] "
      "COM1=/dev/serial/by-id/usb-Gone-if00 in " +
      (m_dir.Path() / "Romvale.cfg").string());
  EXPECT_EQ(Control<QLineEdit>(*m_window, 1000)->toolTip(), why);
  // 롬 파일 다운로드 has no line to send on: it shows the same text instead.
  QString shown;
  qttest::WhenModal([&shown](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    shown = box->text();
    box->button(QMessageBox::Ok)->click();
  });
  QTest::mouseClick(Control<QPushButton>(*m_window, 3), Qt::LeftButton);
  EXPECT_EQ(shown, why);
  EXPECT_TRUE(m_channel.m_written.empty());
}

TEST_F(DownloadWindowTest, MissingConfigurationIsReportedAndTheWindowStillOpens) {
  QString shown;
  bool pathOnOneLine = false;
  qttest::WhenModal([&shown, &pathOnOneLine](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    shown = box->text() + "|" + box->informativeText();
    // The path is not broken at a '/' under the short message.
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    pathOnOneLine = label != nullptr && label->contentsRect().width() >=
                                            label->fontMetrics().horizontalAdvance(label->text());
    box->button(QMessageBox::Ok)->click();
  });
  EXPECT_FALSE(Start());
  EXPECT_TRUE(pathOnOneLine);
  EXPECT_EQ(shown, U("환경 파일이 존재하지 않습니다.|찾은 위치: ") +
                       QString::fromStdString((m_dir.Path() / "Romvale.cfg").string()));
  EXPECT_TRUE(m_window->isVisible());
  EXPECT_EQ(m_channel.m_opens, 0);
  EXPECT_EQ(coretest::RomState(*m_core), coretest::kStateBlocked);
}

TEST_F(DownloadWindowTest, PortDialogOkReopensThePortAndSaveWritesTheFile) {
  WriteConfig();
  ASSERT_TRUE(Start());
  qttest::WhenModal([](QWidget* modal) {
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(modal->windowTitle(), U("통신 포트 설정"));
    QTest::mouseClick(modal->findChild<QRadioButton*>("1017"), Qt::LeftButton);  // COM3
    QTest::mouseClick(modal->findChild<QRadioButton*>("1024"), Qt::LeftButton);  // 9600
    QTest::mouseClick(modal->findChild<QPushButton*>("1"), Qt::LeftButton);
  });
  QTest::mouseClick(Control<QPushButton>(*m_window, 1005), Qt::LeftButton);
  EXPECT_EQ(m_channel.m_closes, 1);
  EXPECT_EQ(m_channel.m_opens, 2);
  EXPECT_EQ(m_channel.m_modemInit, "ATZ");  // RS232C keeps the modem command
  EXPECT_EQ(Text(*m_window, 1000), U(" COM3 : Serial : 9600bps "));

  const std::string before = ReadFile(m_dir.Path() / "Romvale.cfg");
  EXPECT_EQ(before.find("PORT=COM3"), std::string::npos);
  Command(32781)->trigger();  // 설정 저장
  const std::string saved = ReadFile(m_dir.Path() / "Romvale.cfg");
  EXPECT_NE(saved.find("PORT=COM3\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("BAUD=9600bps\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("MODEM=ATZ\r\n"), std::string::npos) << saved;
}

TEST_F(DownloadWindowTest, PortDialogCancelChangesNothing) {
  WriteConfig();
  ASSERT_TRUE(Start());
  qttest::WhenModal([](QWidget* modal) {
    ASSERT_NE(modal, nullptr);
    QTest::mouseClick(modal->findChild<QRadioButton*>("1029"), Qt::LeftButton);
    QTest::mouseClick(modal->findChild<QPushButton*>("2"), Qt::LeftButton);
  });
  Command(32779)->trigger();
  EXPECT_EQ(m_channel.m_closes, 0);
  EXPECT_EQ(m_channel.m_opens, 1);
  EXPECT_EQ(m_channel.m_port, 1);
  EXPECT_EQ(coretest::RomState(*m_core), kStateIdle);
  EXPECT_EQ(Text(*m_window, 1000), U(" COM1 : Serial : 57600bps "));
}

TEST_F(DownloadWindowTest, FrameArrivingWhileFolderChooserIsOpenIsDropped) {
  WriteConfig();
  WriteFile(RomDir() / "TRM-0.jd0", std::string(100, 'x'));
  const fs::path other = m_dir.Path() / "other";
  fs::create_directories(other);
  ASSERT_TRUE(Start());
  const std::string configBefore = ReadFile(m_dir.Path() / "Romvale.cfg");

  qttest::WhenModal([&](QWidget* modal) {
    auto* chooser = qobject_cast<RomFolderDialog*>(modal);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(chooser->windowTitle(), U(" ROM program을 download할 디렉토리를 선택하세요"));
    EXPECT_EQ(chooser->directory().absolutePath(), QString::fromStdString(RomDir().string()));
    EXPECT_EQ(chooser->StatusText(), QString::fromStdString(RomDir().string()));
    Receive({0x0F, 0x31, 0x30, 0x0E, 0x0F});
    EXPECT_TRUE(m_channel.m_written.empty());  // no start reply: dropped
    EXPECT_EQ(Text(*m_window, 1006), U(""));
    // Highlight the other folder, as a click in the list does, and choose it.
    chooser->setDirectory(QString::fromStdString(m_dir.Path().string()));
    auto* list = chooser->findChild<QListView*>("listView");
    auto* model = chooser->findChild<QFileSystemModel*>();
    ASSERT_NE(list, nullptr);
    ASSERT_NE(model, nullptr);
    list->setCurrentIndex(model->index(QString::fromStdString(other.string())));
    EXPECT_EQ(chooser->StatusText(), QString::fromStdString(other.string()));
    QMetaObject::invokeMethod(chooser, "accept");
  });
  QTest::mouseClick(Control<QPushButton>(*m_window, 1008), Qt::LeftButton);

  EXPECT_EQ(Text(*m_window, 1001), QString::fromStdString(other.string()));
  EXPECT_EQ(ReadFile(m_dir.Path() / "Romvale.cfg"), configBefore);  // only 설정 저장 writes it
  EXPECT_EQ(coretest::RomState(*m_core), kStateIdle);
}

TEST_F(DownloadWindowTest, AboutBoxFromBothItemsAndHelpOnF1) {
  WriteConfig();
  ASSERT_TRUE(Start());
  for (int id : {57664, 0x0010}) {
    QStringList labels;
    qttest::WhenModal([&labels](QWidget* modal) {
      ASSERT_NE(modal, nullptr);
      EXPECT_EQ(modal->windowTitle(), U("Romvale 정보"));
      for (QLabel* label : modal->findChildren<QLabel*>()) labels << label->text();
      QTest::mouseClick(modal->findChild<QPushButton*>("1"), Qt::LeftButton);
    });
    Command(id)->trigger();
    EXPECT_TRUE(labels.contains(U("프로그램 다운로더"))) << id;
    EXPECT_TRUE(labels.filter(QRegularExpression("^Ver 1\\.02")).size() == 1) << id;
  }
  EXPECT_EQ(Command(0x0010)->text(), U("Tarvix 정보(&A)..."));

  // The window's context menu carries the same About item.
  QStringList contextItems;
  qttest::WhenPopup([&contextItems](QWidget* popup) {
    ASSERT_NE(popup, nullptr);
    for (QAction* item : popup->actions()) contextItems << item->text();
    popup->close();
  });
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5),
                               m_window->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(m_window.get(), &rightClick);
  EXPECT_EQ(contextItems, QStringList({U("Tarvix 정보(&A)...")}));

  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
  QTest::keyClick(m_window.get(), Qt::Key_F1);
  auto* help = m_window->findChild<HelpDlg*>();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(help->PlainText().contains(U("롬 파일 위치 설정")));
}

TEST_F(DownloadWindowTest, TcpSessionsListShownOnlyWhenConcurrent) {
  WriteConfig();
  ASSERT_TRUE(Start());
  auto* list = m_window->findChild<QListWidget*>(QStringLiteral("tcpSessions"));
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list->isVisible());

  coretest::ApplySetting(*m_core, [&](LoaderConfig& c) { c.concurrent = true; });
  EXPECT_TRUE(list->isVisible());
  EXPECT_EQ(list->count(), 0);
  WriteFile(RomDir() / "MCA001.bll", std::string(300, 'x'));
  coretest::FakeConnection a("127.0.0.1:40001");
  m_core->OnSocketReceive(&a, Bytes{0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C});
  m_core->OnSocketReceive(&a, Bytes{0x02, 0x33, 0x03, 0x30});
  m_core->OnSocketReceive(&a, Bytes{0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30});
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), U("127.0.0.1:40001   MCA001.bll   50%"));
  // Its buttons stay with the serial session.
  EXPECT_EQ(ButtonsEnabled(), kAllEnabled);
  m_core->OnSocketClose(&a);
  EXPECT_EQ(list->count(), 0);
}

TEST_F(DownloadWindowTest, LinesTableTakesThePlaceOfThePortLineAndBarWithSeveralLines) {
  WriteConfig();
  ASSERT_TRUE(Start());
  auto* table = m_window->findChild<QTableWidget*>(QStringLiteral("serialLines"));
  ASSERT_NE(table, nullptr);
  QLineEdit& portLine = *Control<QLineEdit>(*m_window, 1000);
  EXPECT_FALSE(table->isVisible());
  EXPECT_TRUE(portLine.isVisible() && Progress().isVisible());

  FakeChannel second;
  second.m_port = 2;
  second.m_lineDevice = "/dev/ttyUSB1";
  second.Open();
  m_core->AddSerialLine(second);
  EXPECT_TRUE(table->isVisible());
  EXPECT_FALSE(portLine.isVisible() || Progress().isVisible());
  // A BLL download on COM2 is answered there and shows in its row.
  WriteFile(RomDir() / "MCA001.bll", std::string(300, 'x'));
  for (const Bytes& frame :
       {Bytes{0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C},
        Bytes{0x02, 0x33, 0x03, 0x30}, Bytes{0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30}}) {
    second.Receive(frame);
    m_core->OnCommRead(second);
  }
  EXPECT_EQ(second.m_written.size(), 3u);
  EXPECT_TRUE(m_channel.m_written.empty());
  ASSERT_EQ(table->rowCount(), 2);
  const std::vector<std::vector<QString>> rows = {
      {"COM1", "/dev/ttyS0", "open", "", ""},
      {"COM2", "/dev/ttyUSB1", "open", "MCA001.bll", "50%"}};
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 5; ++column) {
      EXPECT_EQ(table->item(row, column)->text(),
                rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)])
          << row << "," << column;
    }
  }
  m_core->RemoveSerialLine(second);
  EXPECT_FALSE(table->isVisible());
  EXPECT_TRUE(portLine.isVisible() && Progress().isVisible());
}

TEST_F(DownloadWindowTest, QuitAsksOnlyWhileADownloadRuns) {
  WriteConfig();
  WriteFile(RomDir() / "TRM-0.jd0", std::string(5000, 'x'));
  ASSERT_TRUE(Start());
  Receive({0x0F, 0x31, 0x30, 0x0E, 0x0F});  // a terminal is being loaded
  ASSERT_TRUE(m_core->DownloadRunning());

  // 종료, the menu's 종료 and the close box all ask; the default keeps it running.
  const std::vector<std::function<void()>> quits = {
      [&] { QTest::mouseClick(Control<QPushButton>(*m_window, 1007), Qt::LeftButton); },
      [&] { Command(32780)->trigger(); }, [&] { m_window->close(); }};
  for (std::size_t i = 0; i < quits.size(); ++i) {
    SCOPED_TRACE(i);
    QString asked;
    qttest::WhenModal([&asked](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      asked = box->objectName() + "|" + box->defaultButton()->text();
      QTest::keyClick(box, Qt::Key_Return);
    });
    quits[i]();
    EXPECT_EQ(asked, U("quitQuestion|계속 실행(&N)"));
    EXPECT_TRUE(m_window->isVisible());
  }
  qttest::WhenModal([](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons())
      if (button->text() == U("종료(&Y)")) button->click();
  });
  m_window->close();
  EXPECT_FALSE(m_window->isVisible());

  // With nothing running it ends at once, without a question.
  m_core->SetSessionsEnabled(true);  // ends the download
  ASSERT_FALSE(m_core->DownloadRunning());
  m_window->show();
  bool asked = false;
  qttest::WhenModal(
      [&asked](QWidget* modal) {
        asked = modal != nullptr;
        if (modal != nullptr) modal->close();
      },
      20);
  QTest::mouseClick(Control<QPushButton>(*m_window, 1007), Qt::LeftButton);
  EXPECT_FALSE(m_window->isVisible());
  QTest::qWait(400);  // the watcher above has given up by now
  EXPECT_FALSE(asked);
}

TEST_F(DownloadWindowTest, KeyboardReachesEveryCommand) {
  WriteConfig();
  ASSERT_TRUE(Start());
  m_window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));

  // Alt+D presses 롬 파일 다운로드 (the trigger frame goes out once the press shows).
  QTest::keyClick(m_window.get(), Qt::Key_D, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([this] { return !m_channel.m_written.empty(); }, 3000));
  ASSERT_EQ(m_channel.m_written.size(), 1U);
  EXPECT_EQ(m_channel.m_written[0], (Bytes{0x02, 0x20, 0x21, 0x22, 0x23, 0x03, 0x86, 0xFE}));

  // Alt+F and F10 open the menus.
  for (const auto& [key, modifier] :
       {std::pair{Qt::Key_F, Qt::AltModifier}, std::pair{Qt::Key_F10, Qt::NoModifier}}) {
    QStringList items;
    qttest::WhenPopup([&items](QWidget* popup) {
      ASSERT_NE(popup, nullptr);
      for (QAction* item : popup->actions()) items << item->text();
      QTest::keyClick(popup, Qt::Key_Escape);
    });
    QTest::keyClick(m_window.get(), key, modifier);
    EXPECT_TRUE(QTest::qWaitFor([&items] { return !items.isEmpty(); }, 3000)) << key;
    EXPECT_EQ(items, QStringList({U("설정 저장(&S)"), "", U("종료(&X)")})) << key;
  }
  QTest::keyClick(m_window.get(), Qt::Key_Escape);
  EXPECT_TRUE(m_window->isVisible());

  // Tab walks the window top to bottom.
  Control<QPushButton>(*m_window, 1008)->setFocus();
  QStringList order{QApplication::focusWidget()->objectName()};
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(order, QStringList({"1008", "1001", "1005", "1000", "1006", "3", "1007"}));
}

TEST_F(DownloadWindowTest, AdapterChosenForAPortAndSaveKeepTheFilesLineEndings) {
  fs::create_directories(RomDir());
  const fs::path config = m_dir.Path() / "Romvale.cfg";
  WriteFile(config, "[Location]\nROMFILE=" + RomDir().string() +
                        "\n[Communication]\nPORT=COM1\nTYPE=RS232\nBAUD=57600bps\n");
  const fs::path byId = m_dir.Path() / "by-id";
  fs::create_directories(byId);
  const std::string adapter = (byId / "usb-FTDI_FT232R_A1-if00-port0").string();
  fs::create_symlink("../../ttyUSB0", adapter);
  ASSERT_TRUE(Start());
  m_window->SetAdapterFolders({byId.string(), (m_dir.Path() / "dev").string()});

  QStringList shown;
  qttest::WhenModal([&](QWidget* modal) {
    ASSERT_NE(modal, nullptr);
    auto* device = modal->findChild<QLabel*>("portDevice");
    auto* adapters = modal->findChild<QComboBox*>("serialAdapters");
    ASSERT_NE(device, nullptr);
    ASSERT_NE(adapters, nullptr);
    shown << device->text();
    QTest::mouseClick(modal->findChild<QRadioButton*>("1017"), Qt::LeftButton);  // COM3
    shown << device->text() << QString::number(adapters->count());
    adapters->setCurrentIndex(1);
    shown << device->text();
    QTest::mouseClick(modal->findChild<QPushButton*>("1"), Qt::LeftButton);
  });
  Command(32779)->trigger();
  EXPECT_EQ(shown, QStringList({"/dev/ttyS0", "/dev/ttyS2", "2", QString::fromStdString(adapter)}));
  EXPECT_EQ(m_channel.PortDevice(), adapter);
  const QString saved = U("Configuration saved: ") + QString::fromStdString(config.string());
  EXPECT_EQ(Text(*m_window, 1006), saved);
  EXPECT_NE(ReadFile(config).find("\n[Ports]\nCOM3=" + adapter + "\n"), std::string::npos);

  m_core->ShowStatus("");
  Command(32781)->trigger();  // 설정 저장 adds MODEM and the new port
  const std::string text = ReadFile(config);
  EXPECT_NE(text.find("PORT=COM3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("MODEM="), std::string::npos) << text;
  EXPECT_EQ(text.find('\r'), std::string::npos) << text;
  EXPECT_EQ(Text(*m_window, 1006), saved);
}
