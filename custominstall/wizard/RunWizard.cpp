// The wizard as a program.
#include "wizard/RunWizard.h"

#include <QApplication>
#include <QDir>

#include "wizard/Artwork.h"
#include "wizard/QtMessageBox.h"
#include "wizard/WizardRunner.h"

int RunWizard(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VB7350CustomInstall"));
  QApplication::setDesktopFileName(QStringLiteral("vb7350custominstall"));
  QApplication::setWindowIcon(AppIcon());
  // Between two pages no window is open; the wizard says itself when it has ended.
  QApplication::setQuitOnLastWindowClosed(false);

  CQtMessageBox box;
  CQtFolderBrowser browser;
  CWizardRunner runner(box, browser, QDir::homePath().toStdString());
  QObject::connect(&runner, &CWizardRunner::Finished, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  runner.Start();
  return QApplication::exec();
}
