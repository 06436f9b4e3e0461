// The wizard as a program.
#include "wizard/RunWizard.h"

#include <QApplication>
#include <QDir>
#include <cstdlib>
#include <iostream>

#include "generator/BuildNotice.h"
#include "settings/CommandLineScan.h"
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
bool CanShowWindows(const WizardCommandLine& line) {
  return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM") ||
         line.platformGiven;
}

constexpr std::string_view kPlatformOption = "-platform";

// Qt's own options, which QApplication takes out of the command line.
constexpr std::string_view kQtValueOptions[] = {kPlatformOption,    "-platformpluginpath",
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

OptionKind QtOptionKind(std::string_view name) {
  if (IsIn(kQtFlags, name)) {
    return OptionKind::Flag;
  }
  return IsIn(kQtValueOptions, name) ? OptionKind::Valued : OptionKind::Unknown;
}

}  // namespace

std::optional<WizardCommandLine> ReadWizardCommandLine(std::span<const std::string_view> args) {
  const ScannedCommandLine scanned = ScanCommandLine(args, QtOptionKind);
  if (scanned.optionsEnded) {
    return std::nullopt;
  }
  WizardCommandLine line;
  for (const ScannedWord& word : scanned.words) {
    if (word.kind != ScannedWord::Kind::Option) {
      return std::nullopt;
    }
    // Only the separate form "-platform NAME" is taken as naming a platform.
    line.platformGiven |= word.name == kPlatformOption && !word.joined;
  }
  return line;
}

int RunWizard(int argc, char** argv, const WizardCommandLine& line) {
  if (!CanShowWindows(line)) {
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
