// VB7350CustomInstall --batch: the package generator driven from the command line.
#include "batch/RunBatch.h"

#include <optional>
#include <string>

#include "batch/StreamMessageBox.h"
#include "generator/GenerateFiles.h"
#include "settings/DirectoryTree.h"
#include "settings/OutputFolder.h"
#include "settings/PackageSettings.h"
#include "settings/Validation.h"

namespace {

// The options that take a text, in the order of the wizard's pages, with the
// limit of the edit box each one stands for.
struct TextOption {
  std::string_view name;
  std::string PackageSettings::*field;
  int limit;
  bool beginsFileNames = false;  // the value starts the names of package files
};

constexpr TextOption kTextOptions[] = {
    {"--uninstall-file-name", &PackageSettings::UninstallFileName, kUninstallFileNameLimit, true},
    {"--inf-prefix", &PackageSettings::InfPrefix, kInfPrefixLimit, true},
    {"--short-name", &PackageSettings::ShortName, kShortNameLimit},
    {"--long-name", &PackageSettings::LongName, kLongNameLimit},
    {"--com-device-name", &PackageSettings::ComDeviceName, kComDeviceNameLimit},
    {"--usb-device-name", &PackageSettings::UsbDeviceName, kUsbDeviceNameLimit},
    {"--vid", &PackageSettings::Vid, kVidLimit},
    {"--pid", &PackageSettings::Pid, kPidLimit},
    {"--target-directory", &PackageSettings::TargetDirectory, kTargetDirectoryLimit},
    {"--output", &PackageSettings::OutputDirectory, kOutputDirectoryLimit},
};

struct FlagOption {
  std::string_view name;
  bool PackageSettings::*field;
};

constexpr FlagOption kClearFlagOptions[] = {
    {"--no-preinstaller", &PackageSettings::GeneratePreinstaller},
    {"--no-setup-gui", &PackageSettings::ShowSetupGui},
    {"--no-copy-files", &PackageSettings::CopyFilesToDirectory},
    {"--no-uninstall-gui", &PackageSettings::ShowUninstallGui},
};

constexpr std::string_view kCouldNotWriteOutputText = "Could not write to standard output.";

constexpr std::string_view kUsage =
    "Usage: VB7350CustomInstall --batch --output DIR\n"
    "           [--uninstall-file-name S] [--inf-prefix S] [--short-name S] [--long-name S]\n"
    "           [--com-device-name S] [--usb-device-name S] [--vid HEX] [--pid HEX]\n"
    "           [--target-directory S]\n"
    "           [--no-preinstaller] [--no-setup-gui] [--no-copy-files] [--no-uninstall-gui]\n"
    "           [--print-summary]\n"
    "       VB7350CustomInstall --help\n"
    "       VB7350CustomInstall              (opens the wizard)\n"
    "\n"
    "Writes the customised VB7350 driver package (four INF files, three information\n"
    "files and the driver payloads) into DIR, creating DIR and its parents when\n"
    "missing. Options left out take the wizard's defaults; the checks and limits are\n"
    "those of the wizard's pages. --print-summary also prints the summary page's text.\n"
    "Exit status: 0 written, 1 could not write the folder, a file or this output,\n"
    "2 bad input.\n";

struct BatchRequest {
  PackageSettings settings;
  bool batchGiven = false;
  bool outputGiven = false;
  bool printSummary = false;
};

// True for an option that takes the next argument as its value.
bool TakesNextArgument(std::string_view arg) {
  for (const TextOption& option : kTextOptions) {
    if (arg == option.name) {
      return true;
    }
  }
  return false;
}

// --help wins over every other argument, but not where it is the value of an option
// (--long-name --help names the device "--help").
bool AsksForHelp(std::span<const std::string_view> args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      return true;
    }
    if (TakesNextArgument(args[i])) {
      ++i;
    }
  }
  return false;
}

// A caller that asked for the messages or the summary must not get success without them.
int CheckedOutput(std::ostream& out, std::ostream& err, int exitCode) {
  out.flush();
  if (!out) {
    err << kCouldNotWriteOutputText << '\n';
    return kBatchGenerationFailed;
  }
  return exitCode;
}

// Reads the arguments; on failure returns the message to show above the usage.
std::optional<std::string> Parse(std::span<const std::string_view> args, BatchRequest& request) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    std::optional<std::string_view> inlineValue;
    if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
      inlineValue = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    if (arg == "--batch" && !inlineValue) {
      request.batchGiven = true;
      continue;
    }
    if (arg == "--print-summary" && !inlineValue) {
      request.printSummary = true;
      continue;
    }
    bool known = false;
    for (const FlagOption& flag : kClearFlagOptions) {
      if (arg == flag.name && !inlineValue) {
        request.settings.*flag.field = false;
        known = true;
      }
    }
    for (const TextOption& option : kTextOptions) {
      if (arg != option.name) {
        continue;
      }
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          return "Option " + std::string(arg) + " needs a value.";
        }
        inlineValue = args[++i];
      }
      request.settings.*option.field = std::string(*inlineValue);
      if (option.field == &PackageSettings::OutputDirectory) {
        request.outputGiven = true;
      }
      known = true;
    }
    if (!known) {
      return "Unknown option: " + std::string(args[i]);
    }
  }
  // Only --batch generates; a "--batch" or "--help" that is an option's value does not count.
  if (!request.batchGiven) {
    return std::string("Missing --batch.");
  }
  if (!request.outputGiven) {
    return std::string("Missing --output DIR.");
  }
  return std::nullopt;
}

// The checks the wizard's pages make, in page order, with the pages' texts.
std::optional<std::string> Validate(PackageSettings& settings) {
  // The VID and PID boxes turn typed letters into capitals.
  settings.Vid = ToUpperAscii(settings.Vid);
  settings.Pid = ToUpperAscii(settings.Pid);

  for (const TextOption& option : kTextOptions) {
    const std::string& value = settings.*option.field;
    if (value.size() > static_cast<std::size_t>(option.limit)) {
      return "Option " + std::string(option.name) + " takes at most " +
             std::to_string(option.limit) + " characters; got " + std::to_string(value.size()) +
             ".";
    }
    // An edit box holds one line; a line break would split a line of the generated files.
    if (value.find_first_of("\r\n") != std::string::npos) {
      return "Option " + std::string(option.name) + " must not contain a line break.";
    }
    // A '/' would put a package file into another folder, even outside the output folder.
    if (option.beginsFileNames && !IsFileNameStem(value)) {
      return "Option " + std::string(option.name) +
             " must not contain '/': it begins the names of the package's files.";
    }
  }
  const PackageSettings& s = settings;
  if (s.UninstallFileName.empty() || s.InfPrefix.empty() || s.ShortName.empty() ||
      s.LongName.empty() || s.ComDeviceName.empty() || s.UsbDeviceName.empty()) {
    return std::string(kFillInAllBlanksText);
  }
  if (!IsHexNumber(s.Vid) || !IsHexNumber(s.Pid)) {
    return std::string(kInvalidHexText);
  }
  if (s.Vid.empty() || s.Pid.empty()) {
    return std::string(kFillInAllBlanksText);
  }
  if (!IsValidDirectory(s.TargetDirectory)) {
    return std::string(kInvalidDirectoryText);
  }
  if (s.OutputDirectory.empty()) {
    return std::string(kFillInAllBlanksText);
  }
  if (!IsValidOutputDirectory(s.OutputDirectory)) {
    return std::string(kInvalidOutputDirectoryText);
  }
  return std::nullopt;
}

// Makes sure the output folder exists, as the wizard does once the user agrees.
bool PrepareOutputDirectory(PackageSettings& settings) {
  settings.OutputDirectory = WithTrailingSeparator(settings.OutputDirectory);
  return OutputPathExists(settings.OutputDirectory) ||
         CreateDirectoryTree(settings.OutputDirectory);
}

}  // namespace

void PrintUsage(std::ostream& stream) {
  stream << kUsage;
}

int RunBatch(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  if (AsksForHelp(args)) {
    PrintUsage(out);
    return CheckedOutput(out, err, kBatchSucceeded);
  }
  BatchRequest request;
  if (const std::optional<std::string> problem = Parse(args, request)) {
    err << *problem << '\n';
    PrintUsage(err);
    return kBatchBadInput;
  }
  if (const std::optional<std::string> problem = Validate(request.settings)) {
    err << *problem << '\n';
    return kBatchBadInput;
  }
  if (!PrepareOutputDirectory(request.settings)) {
    err << kCouldNotCreateDirectoryText << '\n';
    return kBatchGenerationFailed;
  }
  CStreamMessageBox box(out, err);
  const bool generated = GenerateFiles(request.settings, box);
  if (request.printSummary) {
    // The summary ends without a line break, exactly as the summary page holds it.
    out << request.settings.GetSummaryText();
  }
  return CheckedOutput(out, err, generated ? kBatchSucceeded : kBatchGenerationFailed);
}
