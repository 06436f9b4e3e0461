// Tarvix with its window: the main dialog in front of the loader runtime.
#include "window/WindowMain.h"

#include "comm/SocketStartup.h"
#include "config/LoaderConfig.h"
#include "runtime/LoaderRuntime.h"
#include "window/DownloadWindow.h"
#include "window/TarvixIcon.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

namespace {

// The exit code of a command line the program cannot use, as for --headless.
constexpr int kBadCommandLine = 2;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Without a display Qt would abort with a core dump; say what to do instead.
bool CanShowWindows() {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

}  // namespace

std::string WindowConfigPath(const LoaderOptions& options, const std::string& curDir) {
  if (!options.configPath.empty()) return options.configPath;
  return DefaultConfigPath(curDir, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

int RunWindow(int argc, char** argv, const LoaderOptions& options) {
  if (!CanShowWindows()) {
    std::cerr << "Tarvix: no display to show the window on; use --headless (see --help).\n";
    return kBadCommandLine;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarvix"));
  QApplication::setWindowIcon(TarvixIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("tarvix"));
  // The program ends with its main dialog, not with whichever window closes
  // last (a message box may close before the dialog is shown).
  QApplication::setQuitOnLastWindowClosed(false);
  if (!InitSockets()) {
    QMessageBox::warning(nullptr, QApplication::applicationName(),
                         QString::fromUtf8(kSocketErrorText.data(),
                                           static_cast<qsizetype>(kSocketErrorText.size())));
    return 1;
  }

  std::error_code ec;
  const std::string curDir = std::filesystem::current_path(ec).string();
  DownloadWindow window;
  QObject::connect(&window, &QDialog::finished, &app, &QCoreApplication::quit);
  int exitCode = 0;
  {
    LoaderRuntime runtime(window.Host(), curDir, options.tcpPort);
    // Started from the desktop menu there is no Romvale.cfg where Tarvix runs:
    // the user's own configuration folder holds it then.
    runtime.SetConfigPath(WindowConfigPath(options, curDir));
    window.Attach(&runtime.Engine());
    // The window comes first, so a message about the configuration stands over it.
    window.CentreOnScreen();
    window.show();
    // Loads the configuration and opens the port; a missing file is reported
    // and the window stays open with the port closed.
    runtime.Start();
    exitCode = QApplication::exec();
    window.Attach(nullptr);  // the core goes with the runtime
  }
  return exitCode;
}
