// Renders every wizard page into a PNG file, for the documentation. Runs on any Qt
// platform (offscreen included); usage: wizard_screenshots OUTPUT_DIR
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "generator/BuildNotice.h"
#include "payloads/Payloads.h"
#include "settings/CommandLineScan.h"
#include "settings/OutputFolder.h"
#include "wizard/Artwork.h"
#include "wizard/DeviceNamesDlg.h"
#include "wizard/NamesDlg.h"
#include "wizard/OptionsDlg.h"
#include "wizard/OutputDirDlg.h"
#include "wizard/SummaryDlg.h"
#include "wizard/VidPidDlg.h"
#include "wizard/WelcomeDlg.h"
#include "wizard/WizardWindow.h"

namespace {

constexpr const char* kUsage =
    "usage: wizard_screenshots OUTPUT_DIR\n"
    "Renders the seven wizard pages (and the options page without a preinstaller)\n"
    "into OUTPUT_DIR/wizard-*.png.\n";

// The only option: --help, also -h.
OptionKind HelpOnly(std::string_view name) {
  return name == "--help" || name == "-h" ? OptionKind::Flag : OptionKind::Unknown;
}

// Nothing is asked while the pages are only rendered.
class SilentMessageBox : public IMessageBox {
 public:
  MessageResult Show(std::string_view, std::string_view, MessageIcon, MessageButtons, bool,
                     std::string_view) override {
    return MessageResult::Ok;
  }
};

class NoFolderBrowser : public IFolderBrowser {
 public:
  std::string BrowseForFolder() override { return "_NoDirSelected_"; }
};

// Shows page in the wizard's one window, as the running wizard does, and grabs the window.
bool Save(WizardWindow& window, WizardPageDlg& page, bool showNotice, const QDir& dir,
          const QString& name) {
  window.SetPage(&page, showNotice);
  window.show();
  QApplication::processEvents();
  const QString path = dir.filePath(name);
  const bool saved = window.grab().save(path, "PNG");
  page.hide();
  QTextStream(stdout) << (saved ? "wrote " : "could not write ") << path << '\n';
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Qt has taken its own options out of the command line.
  std::vector<std::string> words;
  for (const QString& arg : QApplication::arguments().mid(1)) {
    words.push_back(arg.toStdString());
  }
  const std::vector<std::string_view> args(words.begin(), words.end());
  bool help = false;
  std::vector<std::string_view> folders;
  std::string mistake;
  for (const ScannedWord& word : ScanCommandLine(args, HelpOnly).words) {
    if (word.kind == ScannedWord::Kind::Option) {
      help = true;
    } else if (word.kind == ScannedWord::Kind::Argument) {
      folders.push_back(word.name);
    } else if (mistake.empty()) {
      mistake = word.mistake;
    }
  }
  if (help || !mistake.empty() || folders.size() != 1) {
    const bool asked = help && mistake.empty();
    if (!mistake.empty()) std::fprintf(stderr, "%s\n", mistake.c_str());
    std::fputs(kUsage, asked ? stdout : stderr);
    return asked ? 0 : 2;
  }
  const QString folder = QString::fromStdString(std::string(folders.front()));
  QDir dir(folder);
  if (!dir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
    return 1;
  }
  // A fixed font and home folder, so the pictures do not depend on the machine.
  QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
  QApplication::setApplicationName(QStringLiteral("VB7350CustomInstall"));
  QApplication::setWindowIcon(AppIcon());

  SilentMessageBox box;
  NoFolderBrowser browser;
  PackageSettings settings;
  settings.outputDirectory = DefaultOutputDirectory("/home/user");

  WizardWindow window(WizardPageDlg::ToQString(PlaceholderNotice(EmbeddedPayloadBuild())));
  bool ok = true;
  WelcomeDlg welcome(box, "/home/user");
  ok &= Save(window, welcome, true, dir, QStringLiteral("wizard-1-welcome.png"));
  NamesDlg names(box, settings);
  ok &= Save(window, names, false, dir, QStringLiteral("wizard-2-names.png"));
  DeviceNamesDlg deviceNames(box, settings);
  ok &= Save(window, deviceNames, false, dir, QStringLiteral("wizard-3-device-names.png"));
  VidPidDlg vidPid(box, settings);
  ok &= Save(window, vidPid, false, dir, QStringLiteral("wizard-4-vid-pid.png"));
  OptionsDlg options(box, settings);
  ok &= Save(window, options, false, dir, QStringLiteral("wizard-5-options.png"));
  OptionsDlg noPreinstaller(box, settings);
  noPreinstaller.GeneratePreinstallerCheck()->click();
  ok &= Save(window, noPreinstaller, false, dir,
             QStringLiteral("wizard-5-options-no-preinstaller.png"));
  OutputDirDlg outputDir(box, browser, settings, "/home/user");
  ok &= Save(window, outputDir, false, dir, QStringLiteral("wizard-6-output-folder.png"));
  SummaryDlg summary(box, settings);
  ok &= Save(window, summary, true, dir, QStringLiteral("wizard-7-summary.png"));
  return ok ? 0 : 1;
}
