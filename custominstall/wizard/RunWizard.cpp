// The wizard as a program.
#include "wizard/RunWizard.h"

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "wizard/Artwork.h"
#include "wizard/QtMessageBox.h"
#include "wizard/WizardRunner.h"

namespace {

// The exit code of a command line the program cannot use, as for --batch.
constexpr int kBadCommandLine = 2;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Without a display Qt would abort with a core dump; say what to do instead.
bool CanShowWindows(int argc, char** argv) {
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) {
    return true;
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

int RunWizard(int argc, char** argv) {
  if (!CanShowWindows(argc, argv)) {
    std::cerr << "VB7350CustomInstall: no display to show the wizard on; use --batch "
                 "(see --help).\n";
    return kBadCommandLine;
  }
  QApplication app(argc, argv);
  // Qt has taken its own options out; the wizard takes none.
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    std::cerr << "VB7350CustomInstall: unknown argument '" << args[1].toStdString()
              << "' (see --help).\n";
    return kBadCommandLine;
  }
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
