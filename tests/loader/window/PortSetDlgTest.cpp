// The port-settings dialog's widgets: template order, texts, rate limits and OK/Cancel.
#include "window/PortSetDlg.h"

#include "comm/SerialAdapters.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int kPortIds[] = {1015, 1016, 1017, 1018, 1026, 1027, 1028, 1029};
constexpr int kRateIds[] = {1021, 1022, 1023, 1024, 1025, 1037, 1038, 1039, 1040};

template <typename T>
T* Control(const QWidget& dialog, int id) {
  return dialog.findChild<T*>(QString::number(id));
}

QRadioButton* Radio(const QWidget& dialog, int id) {
  return Control<QRadioButton>(dialog, id);
}

/// Ids of the checked radio buttons among `ids`.
std::vector<int> Checked(const QWidget& dialog, std::initializer_list<int> ids) {
  std::vector<int> checked;
  for (int id : ids)
    if (Radio(dialog, id)->isChecked()) checked.push_back(id);
  return checked;
}

std::vector<int> EnabledRates(const QWidget& dialog) {
  std::vector<int> enabled;
  for (int id : kRateIds)
    if (Radio(dialog, id)->isEnabled()) enabled.push_back(id);
  return enabled;
}

void Click(QWidget& dialog, int id) {
  QAbstractButton* button = Control<QAbstractButton>(dialog, id);
  ASSERT_NE(button, nullptr) << id;
  QTest::mouseClick(button, Qt::LeftButton);
}

class PortSetDlgTest : public ::testing::Test {
 protected:
  void SetUp() override { qttest::App(); }
};

}  // namespace

TEST_F(PortSetDlgTest, TemplateOrderTextsAndStates) {
  PortSetDlg dialog(7, 1, 2, "ATZ");
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("통신 포트 설정"));
  auto* ok = Control<QPushButton>(dialog, 1);
  auto* cancel = Control<QPushButton>(dialog, 2);
  ASSERT_NE(ok, nullptr);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(ok->text(), QString::fromUtf8("확인"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(cancel->text(), QString::fromUtf8("취소"));

  const char* portTexts[] = {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"};
  const char* rateTexts[] = {"  1200 bps", "  2400 bps", "  4800 bps", "  9600 bps", " 19200 bps",
                             " 38400 bps", " 56000 bps", " 57600 bps", "115200 bps"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(Radio(dialog, kPortIds[i])->text(), portTexts[i]);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Radio(dialog, kRateIds[i])->text(), rateTexts[i]);
  EXPECT_EQ(Radio(dialog, 1019)->text(), "MODEM");
  EXPECT_EQ(Radio(dialog, 1020)->text(), "RS232C");
  EXPECT_FALSE(Radio(dialog, 1019)->isEnabled());

  // Each group numbers its buttons from its first one, in template order.
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(Radio(dialog, kPortIds[i])->group()->id(Radio(dialog, kPortIds[i])), i);
  for (int i = 0; i < 9; ++i)
    EXPECT_EQ(Radio(dialog, kRateIds[i])->group()->id(Radio(dialog, kRateIds[i])), i);
  EXPECT_EQ(Radio(dialog, 1019)->group()->id(Radio(dialog, 1019)), 0);
  EXPECT_EQ(Radio(dialog, 1020)->group()->id(Radio(dialog, 1020)), 1);

  // Tab order follows the template: OK, Cancel, ports, types, rates.
  std::vector<int> order;
  QWidget* w = ok;
  for (int n = 0; n < 100 && (n == 0 || w != ok); ++n, w = w->nextInFocusChain())
    if (auto* b = qobject_cast<QAbstractButton*>(w)) order.push_back(b->objectName().toInt());
  const std::vector<int> expected = {1,    2,    1015, 1016, 1017, 1018, 1026,
                                     1027, 1028, 1029, 1019, 1020, 1021, 1022,
                                     1023, 1024, 1025, 1037, 1038, 1039, 1040};
  EXPECT_EQ(order, expected);

  QStringList groupTitles;
  for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) groupTitles << box->title();
  EXPECT_EQ(groupTitles,
            QStringList({QString::fromUtf8("통신 포트"), QString::fromUtf8("통신 형식"),
                         QString::fromUtf8("통신 속도")}));

  for (int id : {1048, 1049}) {
    auto* edit = Control<QLineEdit>(dialog, id);
    ASSERT_NE(edit, nullptr) << id;
    EXPECT_TRUE(edit->isHidden()) << id;
    EXPECT_FALSE(edit->isEnabled()) << id;
  }
  EXPECT_EQ(Control<QLineEdit>(dialog, 1048)->text(), "Modem initial command");
  EXPECT_EQ(Control<QLineEdit>(dialog, 1049)->text(), "ATZ");
}

TEST_F(PortSetDlgTest, DirectLineAt2400Selects57600AndDisablesLowRates) {
  PortSetDlg dialog(1, 2, 2, "");
  EXPECT_EQ(Checked(dialog, {1021, 1022, 1023, 1024, 1025, 1037, 1038, 1039, 1040}),
            std::vector<int>{1039});
  EXPECT_EQ(EnabledRates(dialog), (std::vector<int>{1023, 1024, 1025, 1037, 1038, 1039, 1040}));
  EXPECT_EQ(Checked(dialog, {1015, 1016, 1017, 1018, 1026, 1027, 1028, 1029}),
            std::vector<int>{1016});
  EXPECT_EQ(Checked(dialog, {1019, 1020}), std::vector<int>{1020});
}

TEST_F(PortSetDlgTest, ModemAt57600Selects1200AndOffersOnly1200And2400) {
  PortSetDlg dialog(7, 1, 1, "AT&F");
  EXPECT_EQ(Checked(dialog, {1021, 1022, 1023, 1024, 1025, 1037, 1038, 1039, 1040}),
            std::vector<int>{1021});
  EXPECT_EQ(EnabledRates(dialog), (std::vector<int>{1021, 1022}));
  EXPECT_EQ(Checked(dialog, {1019, 1020}), std::vector<int>{1019});
  EXPECT_TRUE(Control<QLineEdit>(dialog, 1049)->isEnabled());
}

TEST_F(PortSetDlgTest, LeavingModemKeepsLowRatesUntilReopened) {
  PortSetDlg dialog(7, 1, 1, "AT&F");
  dialog.show();
  Click(dialog, 1020);
  EXPECT_EQ(EnabledRates(dialog), (std::vector<int>{1021, 1022}));  // decided at opening
  Click(dialog, 1022);
  Click(dialog, 1);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  const PortSetting setting = dialog.GetSetting();
  EXPECT_EQ(setting.commType, 2);
  EXPECT_EQ(setting.baudIndex, 1);
  EXPECT_EQ(setting.port, 1);
  EXPECT_FALSE(setting.modemInit.has_value());

  PortSetDlg reopened(setting.baudIndex, setting.port, setting.commType, "AT&F");
  EXPECT_EQ(Checked(reopened, {1021, 1022, 1039}), std::vector<int>{1039});
  EXPECT_EQ(EnabledRates(reopened), (std::vector<int>{1023, 1024, 1025, 1037, 1038, 1039, 1040}));
}

TEST_F(PortSetDlgTest, OkInModemModeReturnsTheCommandByteForByte) {
  const std::string command = "AT\xff&C1 E0";  // not valid UTF-8: must survive unchanged
  PortSetDlg dialog(0, 3, 1, command);
  dialog.show();
  Click(dialog, 1);
  const PortSetting setting = dialog.GetSetting();
  EXPECT_EQ(setting.port, 3);
  EXPECT_EQ(setting.commType, 1);
  ASSERT_TRUE(setting.modemInit.has_value());
  EXPECT_EQ(*setting.modemInit, command);
}

TEST_F(PortSetDlgTest, PortZeroSelectsNoPortAndOkYieldsPortZero) {
  PortSetDlg dialog(7, 0, 2, "");
  EXPECT_TRUE(Checked(dialog, {1015, 1016, 1017, 1018, 1026, 1027, 1028, 1029}).empty());
  dialog.show();
  Click(dialog, 1);
  EXPECT_EQ(dialog.GetSetting().port, 0);
  EXPECT_EQ(dialog.GetSetting().baudIndex, 7);
}

TEST_F(PortSetDlgTest, CancelKeepsTheMembersAsConstructed) {
  PortSetDlg dialog(3, 2, 2, "");
  dialog.show();
  Click(dialog, 1029);
  Click(dialog, 1040);
  Click(dialog, 2);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.Values().m_port, 1);
  EXPECT_EQ(dialog.Values().m_baud, 3);
}

// The adapters the dialog offers: the stable by-id names, else ttyUSB*/ttyACM*.
TEST(SerialAdapters, ByIdNamesFirstElseTheKernelNodes) {
  testsupport::TempDir dir;
  const std::filesystem::path byId = dir.Path() / "by-id";
  const std::filesystem::path dev = dir.Path() / "dev";
  std::filesystem::create_directories(byId);
  std::filesystem::create_directories(dev);
  for (const char* node : {"ttyUSB1", "ttyS0", "ttyACM0", "ttyUSB0", "console"}) {
    testsupport::WriteFile(dev / node, "");
  }
  const AdapterFolders folders{byId.string(), dev.string()};
  const std::string d = dev.string() + "/";
  EXPECT_EQ(FindSerialAdapters(folders),
            (std::vector<std::string>{d + "ttyACM0", d + "ttyUSB0", d + "ttyUSB1"}));
  std::filesystem::create_symlink("../../ttyUSB1", byId / "usb-B-if00");
  std::filesystem::create_symlink("../../ttyUSB0", byId / "usb-A-if00");
  const std::string b = byId.string() + "/";
  EXPECT_EQ(FindSerialAdapters(folders),
            (std::vector<std::string>{b + "usb-A-if00", b + "usb-B-if00"}));
  EXPECT_TRUE(
      FindSerialAdapters({(dir.Path() / "none").string(), (dir.Path() / "none").string()}).empty());
}
