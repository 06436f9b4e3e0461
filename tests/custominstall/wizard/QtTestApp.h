// One QApplication for every widget test in this program (offscreen platform).
#pragma once

#include <QApplication>
#include <memory>

#include <gtest/gtest.h>

namespace wizardtest {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "wizard_gui_test";
    static char* argv[] = {name, nullptr};
    // Widget tests never need a display; a caller may still pick another platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    m_app = std::make_unique<QApplication>(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VB7350CustomInstall"));
    QApplication::setQuitOnLastWindowClosed(false);
  }
  void TearDown() override { m_app.reset(); }

 private:
  std::unique_ptr<QApplication> m_app;
};

}  // namespace wizardtest
