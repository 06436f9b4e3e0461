// The wizard as a program.
#include "wizard/RunWizard.h"

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "generator/BuildNotice.h"
#include "settings/CommandLineTexts.h"
#include "wizard/Artwork.h"
#include "wizard/QtMessageBox.h"
#include "wizard/WizardRunner.h"

namespace {

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

// Qt's own options, which QApplication takes out of the command line.
constexpr std::string_view kQtValueOptions[] = {"-platform",        "-platformpluginpath",
                                                "-platformtheme",   "-plugin",
                                                "-qwindowgeometry", "-qwindowicon",
                                                "-qwindowtitle",    "-style",
                                                "-stylesheet",      "-session",
                                                "-display",         "-geometry"};
constexpr std::string_view kQtFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};

bool IsIn(std::span<const std::string_view> names, std::string_view name) {
  for (const std::string_view candidate : names) {
    if (candidate == name) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsWizardCommandLine(std::span<const std::string_view> args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (IsIn(kQtFlags, arg)) {
      continue;
    }
    const std::size_t equals = arg.find('=');
    if (!IsIn(kQtValueOptions, arg.substr(0, equals))) {
      return false;
    }
    if (equals == std::string_view::npos) {
      if (i + 1 >= args.size()) {
        return false;
      }
      ++i;
    }
  }
  return true;
}

int RunWizard(int argc, char** argv) {
  if (!CanShowWindows(argc, argv)) {
    std::cerr << "No display to show the wizard on; use --batch.\n" << kTryHelpText << '\n';
    return kBadCommandLineExit;
  }
  QApplication app(argc, argv);
  // Qt has taken its own options out; the wizard takes none.
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    std::cerr << kUnknownOptionText << "'" << args[1].toStdString() << "'\n"
              << kTryHelpText << '\n';
    return kBadCommandLineExit;
  }
  QApplication::setApplicationName(QStringLiteral("VB7350CustomInstall"));
  QApplication::setDesktopFileName(QStringLiteral("vb7350custominstall"));
  QApplication::setWindowIcon(AppIcon());
  // The wizard says itself when it has ended.
  QApplication::setQuitOnLastWindowClosed(false);

  QtMessageBox box;
  QtFolderBrowser browser;
  WizardRunner runner(box, browser, QDir::homePath().toStdString(),
                      PlaceholderNotice(EmbeddedPayloadBuild()));
  QObject::connect(&runner, &WizardRunner::Finished, &app, &QApplication::quit,
                   Qt::QueuedConnection);
  runner.Start();
  return QApplication::exec();
}
