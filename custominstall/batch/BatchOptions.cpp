// The options of VB7350CustomInstall --batch and the --help text made from them.
#include "batch/BatchOptions.h"

#include "settings/Validation.h"

namespace {

using S = PackageSettings;

// clang-format off
const BatchOption kOptions[] = {
    {kBatchOption, "", "generate from the command line (without it the wizard opens)"},
    {kOutputOption, "DIR", "folder that receives the package; created with its parents when "
        "missing; a leading ~ is the home folder, a relative path starts at the current folder",
        &S::outputDirectory, nullptr, kOutputDirectoryLimit},
    {"--uninstall-file-name", "S", "stem of the uninstaller files (default $(default))",
        &S::uninstallFileName, nullptr, kUninstallFileNameLimit},
    {"--inf-prefix", "S", "first letters of the INF file names (default $(default))",
        &S::infPrefix, nullptr, kInfPrefixLimit},
    {"--short-name", "S", "short name (default $(default))", &S::shortName, nullptr, kShortNameLimit},
    {"--long-name", "S", "provider and manufacturer name (default \"$(default)\")",
        &S::longName, nullptr, kLongNameLimit},
    {"--com-device-name", "S", "serial port name in Device Manager", &S::comDeviceName, nullptr,
        kComDeviceNameLimit},
    {"--usb-device-name", "S", "composite USB device name in Device Manager", &S::usbDeviceName,
        nullptr, kUsbDeviceNameLimit},
    {"--vid", "HEX", "USB vendor ID, 4 hex digits without 0x (default $(default)); fewer are "
        "written as typed, with a warning", &S::vid, nullptr, kVidLimit},
    {"--pid", "HEX", "USB product ID, 4 hex digits without 0x (default $(default)); fewer are "
        "written as typed, with a warning", &S::pid, nullptr, kPidLimit},
    {"--target-directory", "S", "where the preinstaller copies the drivers on Windows",
        &S::targetDirectory, nullptr, kTargetDirectoryLimit},
    {kCodePageOption, "N", "Windows code page of the package's text files, for names beyond "
        "ASCII: 874, 932, 936, 949, 950 or 1250-1258 (default: ASCII only)"},
    {"--no-preinstaller", "", "leave out PreInstaller.exe", nullptr, &S::generatePreinstaller},
    {"--no-setup-gui", "", "preinstaller runs quietly", nullptr, &S::showSetupGui},
    {"--no-copy-files", "", "preinstaller copies no files", nullptr, &S::copyFilesToDirectory},
    {"--no-uninstall-gui", "", "uninstaller runs quietly", nullptr, &S::showUninstallGui},
    {kPrintSummaryOption, "", "also print the summary page's text"},
    {kVersionOption, "", "print the version and which payloads this build embeds"},
    {kHelpOption, "", "print this text (also -h)"},
};
// clang-format on

constexpr std::size_t kHelpColumn = 28;
// Stands in an option's help for the value the field has when the option is left out.
constexpr std::string_view kDefaultMark = "$(default)";
constexpr std::size_t kLineWidth = 80;

// Appends text to usage as one option's help, wrapped at word boundaries.
void AppendWrapped(std::string& usage, std::string_view text) {
  std::size_t column = kHelpColumn;
  bool first = true;
  while (!text.empty()) {
    const std::size_t space = text.find(' ');
    const std::string_view word = text.substr(0, space);
    if (!first && column + 1 + word.size() > kLineWidth) {
      usage += '\n';
      usage.append(kHelpColumn, ' ');
      column = kHelpColumn;
      first = true;
    }
    if (!first) {
      usage += ' ';
      ++column;
    }
    usage += word;
    column += word.size();
    first = false;
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
  }
  usage += '\n';
}

// The option's help with kDefaultMark replaced by the field's default value.
std::string WithDefault(const BatchOption& option) {
  std::string help(option.help);
  const std::size_t mark = help.find(kDefaultMark);
  if (option.text != nullptr && mark != std::string::npos) {
    help.replace(mark, kDefaultMark.size(), PackageSettings().*option.text);
  }
  return help;
}

}  // namespace

std::span<const BatchOption> BatchOptions() {
  return kOptions;
}

const BatchOption* FindOption(std::string_view name) {
  for (const BatchOption& option : kOptions) {
    if (option.name == name) {
      return &option;
    }
  }
  return nullptr;
}

const BatchOption* OptionForField(std::string PackageSettings::*field) {
  for (const BatchOption& option : kOptions) {
    if (option.text != nullptr && option.text == field) {
      return &option;
    }
  }
  return nullptr;
}

std::string BatchUsage() {
  std::string usage =
      "Usage: VB7350CustomInstall --batch --output DIR [options]\n"
      "       VB7350CustomInstall --help | --version\n"
      "       VB7350CustomInstall              (opens the wizard)\n"
      "\n"
      "Writes the customised VB7350 driver package (four INF files, three information\n"
      "files and the driver payloads) into DIR. Options left out take the wizard's\n"
      "defaults; the checks and limits are those of the wizard's pages; --opt=VALUE\n"
      "works too, and -- ends the options. The uninstall file name and the INF prefix\n"
      "hold printable ASCII without \\ / : * ? \" < > | ; , = [ ] % or a space at\n"
      "either end, and the uninstall file name is no Windows device name (CON, NUL,\n"
      "COM1, ...); the other names hold no \" and, without --code-page, ASCII only.\n"
      "\n";
  for (const BatchOption& option : kOptions) {
    std::string left = "  " + std::string(option.name);
    if (!option.valueName.empty()) {
      left += " " + std::string(option.valueName);
    }
    usage += left;
    if (left.size() + 2 > kHelpColumn) {
      usage += '\n';
      usage.append(kHelpColumn, ' ');
    } else {
      usage.append(kHelpColumn - left.size(), ' ');
    }
    AppendWrapped(usage, WithDefault(option));
  }
  usage +=
      "\n"
      "Exit status: 0 written, 1 could not write the folder, a file or this output,\n"
      "2 bad input (nothing written).\n";
  return usage;
}
