// The first five wizard pages: what Next and Back check and store.
#include "wizard/PageLogic.h"

#include "settings/OutputFolder.h"
#include "settings/PageRules.h"
#include "settings/Validation.h"

void PageLogic::ShowPageMessage(IMessageBox& box, std::string_view text) {
  box.Show(text, kAppCaption, MessageIcon::None, MessageButtons::Ok, true, {});
}

bool PageLogic::Passes(IMessageBox& box, const std::optional<FieldProblem>& problem) {
  if (problem) {
    ShowPageMessage(box, problem->text);
    return false;
  }
  return true;
}

PackageSettings WelcomePage::OnNext(std::string_view homeDir) {
  PackageSettings settings;
  settings.outputDirectory = DefaultOutputDirectory(homeDir);
  return settings;
}

NamesPage::NamesPage(PackageSettings settings)
    : PageLogic(std::move(settings)),
      m_uninstallFileName(m_settings.uninstallFileName),
      m_infPrefix(m_settings.infPrefix),
      m_shortName(m_settings.shortName),
      m_longName(m_settings.longName) {}

bool NamesPage::OnNext(IMessageBox& box) {
  m_settings.uninstallFileName = m_uninstallFileName;
  m_settings.infPrefix = m_infPrefix;
  m_settings.shortName = m_shortName;
  m_settings.longName = m_longName;
  // Checked here, with the blanks, so Finish never meets a name that breaks the package.
  return Passes(box, CheckNamesPage(m_settings));
}

DeviceNamesPage::DeviceNamesPage(PackageSettings settings)
    : PageLogic(std::move(settings)),
      m_comDeviceName(m_settings.comDeviceName),
      m_usbDeviceName(m_settings.usbDeviceName) {}

bool DeviceNamesPage::OnNext(IMessageBox& box) {
  OnBack();
  return Passes(box, CheckDeviceNamesPage(m_settings));
}

void DeviceNamesPage::OnBack() {
  m_settings.comDeviceName = m_comDeviceName;
  m_settings.usbDeviceName = m_usbDeviceName;
}

VidPidPage::VidPidPage(PackageSettings settings)
    : PageLogic(std::move(settings)), m_vid(m_settings.vid), m_pid(m_settings.pid) {}

bool VidPidPage::OnNext(IMessageBox& box) {
  // A bad number is not stored; a blank is (the hex check passes an empty text, so an
  // empty ID is reported as a blank, not as a bad number).
  PackageSettings typed = m_settings;
  typed.vid = m_vid;
  typed.pid = m_pid;
  const std::optional<FieldProblem> problem = CheckVidPidPage(typed);
  if (problem && problem->text != kFillInAllBlanksText) {
    return Passes(box, problem);
  }
  OnBack();
  if (!Passes(box, problem)) {
    return false;
  }
  // Coming forward, the options page always starts with the preinstaller on.
  m_settings.generatePreinstaller = true;
  return true;
}

void VidPidPage::OnBack() {
  m_settings.vid = m_vid;
  m_settings.pid = m_pid;
}

namespace {
constexpr std::string_view kShortIdNoteHead = "Note: ";
}  // namespace

std::string VidPidPage::ShortIdNote(std::string_view vid, std::string_view pid) {
  std::string note;
  for (const std::string_view id : {vid, pid}) {
    if (const std::optional<std::string> text = ShortUsbIdNote(id)) {
      note += (note.empty() ? std::string(kShortIdNoteHead) : "\n") + *text;
    }
  }
  return note;
}

OptionsPage::OptionsPage(PackageSettings settings)
    : PageLogic(std::move(settings)),
      m_generatePreinstaller(m_settings.generatePreinstaller),
      m_showSetupGui(m_settings.showSetupGui),
      m_copyFilesToDirectory(m_settings.copyFilesToDirectory),
      m_targetDirectory(m_settings.targetDirectory),
      m_showUninstallGui(m_settings.showUninstallGui),
      m_codePage(m_settings.codePage) {}

void OptionsPage::OnPreinstallerClicked(bool checked) {
  m_generatePreinstaller = checked;
  m_preinstallerControlsVisible = checked;
  if (!checked) {
    const PackageSettings defaults;
    m_showSetupGui = true;
    m_copyFilesToDirectory = true;
    m_targetDirectory = defaults.targetDirectory;
  }
}

void OptionsPage::ShowHelp(IMessageBox& box, std::string_view helpText) {
  ShowPageMessage(box, AsParagraphs(helpText));
}

std::string OptionsPage::AsParagraphs(std::string_view text) {
  std::string joined(text);
  for (std::size_t i = 0; i < joined.size(); ++i) {
    if (joined[i] != '\n') continue;
    const bool blankBefore = i > 0 && joined[i - 1] == '\n';
    const bool blankAfter = i + 1 < joined.size() && joined[i + 1] == '\n';
    if (!blankBefore && !blankAfter) joined[i] = ' ';
  }
  return joined;
}

bool OptionsPage::OnNext(IMessageBox& box) {
  // The target directory lives on the Windows machine, so it keeps the Windows rule.
  // A refused folder is not stored.
  PackageSettings typed = m_settings;
  typed.targetDirectory = m_targetDirectory;
  typed.codePage = m_codePage;
  if (!Passes(box, CheckOptionsPage(typed))) {
    return false;
  }
  // Names typed on the earlier pages are checked here, where their code page is chosen.
  if (std::optional<FieldProblem> problem = CheckCodePage(typed, kCodePageChoiceWayOut)) {
    problem->text = std::string(FieldLabel(problem->field)) + ": " + problem->text;
    return Passes(box, problem);
  }
  Store();
  return true;
}

void OptionsPage::OnBack() {
  Store();
}

void OptionsPage::Store() {
  m_settings.generatePreinstaller = m_generatePreinstaller;
  m_settings.showSetupGui = m_showSetupGui;
  m_settings.copyFilesToDirectory = m_copyFilesToDirectory;
  m_settings.targetDirectory = m_targetDirectory;
  m_settings.showUninstallGui = m_showUninstallGui;
  m_settings.codePage = m_codePage;
}

const std::string_view kGeneratePreinstallerHelp =
    "Generate a Preinstaller program:\n\nSelect this option to generate a Preinstaller for "
    "Windows 2000/XP. Use the Preinstaller\nto install the drivers before the hardware is "
    "connected. If the device is connected after\nrunning the Preinstaller, the Windows \"Found "
    "New Hardware Wizard\" will not be displayed.\n\nNote: This option can only create a "
    "Preinstaller for Windows 2000/XP. The \"Found New\nHardware Wizard\" must be used with "
    "Windows 98.";

const std::string_view kShowSetupGuiHelp =
    "Display GUI window during Setup:\n\nCheck this option when using the generated "
    "Preinstaller as a stand-alone application.\nThe Preinstaller will display several GUI "
    "windows during the installation process. Uncheck\nthis option if the Preinstaller will "
    "be launched by another application. The Preinstaller\nwill then run in Quiet Mode. When "
    "running in Quiet Mode, no GUI will be displayed.";

const std::string_view kCopyFilesHelp =
    "Copy Files to Directory during Setup:\n\nCheck this option if a copy of the drivers will "
    "be needed on the hard drive. This is useful\nwhen installing the drivers from a CD. "
    "Uncheck this option if a copy of the driver files is not\nneeded on the hard drive.";

// "GUI  window" with two spaces is the text as it has always read.
const std::string_view kTargetDirectoryHelp =
    "Target Directory:\n\nSelects the hard drive location that will contain a copy of the "
    "driver files. The default\nlocation is C:\\Program Files\\Vornix\\MCU\\VB7350. If the "
    "\"Display GUI window during\nSetup\" option is selected, this path can be changed during "
    "installation by clicking the Browse button.\nHowever, if the \"Display GUI  window during "
    "Setup\" option is not selected then the\ndefault directory is always used. This option is "
    "ignored if the \"Copy Files to Directory\nduring Setup\" option is not selected.\n\nNote: "
    "The Target Directory must be different for each product released.";

const std::string_view kShowUninstallGuiHelp =
    "Display GUI window during Uninstall:\n\nCheck this option when using the generated "
    "Uninstaller as a stand-alone application. The\nUninstaller will display several GUI "
    "windows during the uninstall process. Uncheck this option\nif the Uninstaller will be "
    "launched by another application. The Uninstaller will then run in\nQuiet Mode. When "
    "running in Quiet Mode, no GUI will be displayed.";
