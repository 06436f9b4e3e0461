// VB7350CustomInstall --batch: the package generator driven from the command line.
#include "batch/RunBatch.h"

#include <optional>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/StreamMessageBox.h"
#include "generator/BuildNotice.h"
#include "generator/GenerateFiles.h"
#include "settings/CodePage.h"
#include "settings/CommandLineScan.h"
#include "settings/DirectoryTree.h"
#include "settings/OutputFolder.h"
#include "settings/PackageSettings.h"
#include "settings/PageRules.h"
#include "settings/Utf8Text.h"
#include "settings/Validation.h"

namespace {

constexpr std::string_view kCouldNotWriteOutputText = "Could not write to standard output.";

struct BatchRequest {
  PackageSettings settings;
  std::optional<std::string> codePage;
  bool batchGiven = false;
  bool outputGiven = false;
  bool printSummary = false;
  bool version = false;
};

// A caller that asked for the messages or the summary must not get success without them.
int CheckedOutput(std::ostream& out, std::ostream& err, int exitCode) {
  out.flush();
  if (!out) {
    err << kCouldNotWriteOutputText << '\n';
    return kBatchGenerationFailed;
  }
  return exitCode;
}

std::string Quoted(std::string_view text) {
  return "'" + std::string(text) + "'";
}

enum class ParseOutcome { Run, Help, Mistake };

// Takes one option's value into the request.
void TakeValue(const BatchOption& option, std::string_view value, BatchRequest& request) {
  if (option.text != nullptr) {
    request.settings.*option.text = value;
  }
  request.outputGiven |= option.name == kOutputOption;
  if (option.name == kCodePageOption) {
    request.codePage = std::string(value);
  }
}

// Sets what a flag stands for.
void TakeFlag(const BatchOption& option, BatchRequest& request, bool& help) {
  if (option.clears != nullptr) {
    request.settings.*option.clears = false;
  } else if (option.name == kBatchOption) {
    request.batchGiven = true;
  } else if (option.name == kPrintSummaryOption) {
    request.printSummary = true;
  } else if (option.name == kVersionOption) {
    request.version = true;
  } else if (option.name == kHelpOption) {
    help = true;
  }
}

// What --batch makes of a name on its command line.
OptionKind BatchOptionKind(std::string_view name) {
  if (name == kShortHelpOption) {
    return OptionKind::Flag;
  }
  const BatchOption* option = FindOption(name);
  if (option == nullptr) {
    return OptionKind::Unknown;
  }
  return option->valueName.empty() ? OptionKind::Flag : OptionKind::Valued;
}

// Reads the arguments into request; on a mistake, problem holds its one-line message
// (the first mistake; an asked-for --help still wins over it).
ParseOutcome Parse(std::span<const std::string_view> args, BatchRequest& request,
                   std::string& problem) {
  bool help = false;
  const auto mistake = [&problem](std::string text) {
    if (problem.empty()) {
      problem = std::move(text);
    }
  };
  // The value of an option is taken whatever it looks like: --long-name --help names the
  // device "--help".
  for (const ScannedWord& word : ScanCommandLine(args, BatchOptionKind).words) {
    switch (word.kind) {
      case ScannedWord::Kind::Argument:
        mistake(std::string(kUnexpectedArgumentText) + Quoted(word.name));
        break;
      case ScannedWord::Kind::Mistake:
        mistake(word.mistake);
        break;
      case ScannedWord::Kind::Option:
        if (word.name == kShortHelpOption) {
          help = true;
        } else if (const BatchOption* option = FindOption(word.name); option->valueName.empty()) {
          TakeFlag(*option, request, help);
        } else {
          TakeValue(*option, word.value, request);
        }
        break;
    }
  }
  if (help) {
    return ParseOutcome::Help;
  }
  if (!problem.empty()) {
    return ParseOutcome::Mistake;
  }
  if (request.version) {
    return ParseOutcome::Run;
  }
  // Only --batch generates; a "--batch" that is an option's value does not count.
  if (!request.batchGiven) {
    mistake(std::string(kMissingOptionText) + Quoted(kBatchOption));
  } else if (!request.outputGiven) {
    mistake(std::string(kMissingOptionText) + Quoted(kOutputOption));
  }
  return problem.empty() ? ParseOutcome::Run : ParseOutcome::Mistake;
}

std::string Refusal(std::string PackageSettings::*field, std::string_view text) {
  const BatchOption* option = OptionForField(field);
  return std::string(option != nullptr ? option->name : "") + ": " + std::string(text);
}

// The code page named by --code-page: digits only, one of the code pages written.
std::optional<int> ParseCodePage(std::string_view text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
    return std::nullopt;
  }
  const int number = std::stoi(std::string(text));
  if (number == kAsciiOnly || !IsSupportedCodePage(number)) {
    return std::nullopt;
  }
  return number;
}

// The checks the wizard's pages make, in page order, with the pages' texts after the
// option they concern.
std::optional<std::string> Validate(const BatchRequest& request, PackageSettings& settings) {
  if (request.codePage) {
    const std::optional<int> codePage = ParseCodePage(*request.codePage);
    if (!codePage) {
      return std::string(kCodePageOption) + ": " + Quoted(*request.codePage) +
             " is not a code page this program writes; use one of " + std::string(kCodePageList) +
             ".";
    }
    settings.codePage = *codePage;
  }
  // The VID and PID boxes turn typed letters into capitals.
  settings.vid = ToUpperAscii(settings.vid);
  settings.pid = ToUpperAscii(settings.pid);
  // Before the length: "0x3E7A" is too long only because of its "0x".
  for (auto id : {&PackageSettings::vid, &PackageSettings::pid}) {
    if (HasHexPrefix(settings.*id)) {
      return Refusal(id, kHexPrefixText);
    }
  }

  for (const BatchOption& option : BatchOptions()) {
    if (option.text == nullptr) {
      continue;
    }
    const std::string& value = settings.*option.text;
    // Counted as the edit boxes count: characters, not bytes.
    const std::size_t length = CountCharacters(value);
    if (length > static_cast<std::size_t>(option.limit)) {
      return Refusal(option.text, "takes at most " + std::to_string(option.limit) +
                                      " characters; got " + std::to_string(length) + ".");
    }
    // An edit box holds one line; a line break would split a line of the generated files.
    if (value.find_first_of("\r\n") != std::string::npos) {
      return Refusal(option.text, "must not contain a line break.");
    }
  }
  for (auto check : {CheckNamesPage, CheckDeviceNamesPage, CheckVidPidPage, CheckOptionsPage}) {
    if (const std::optional<FieldProblem> problem = check(settings)) {
      return Refusal(problem->field, problem->text);
    }
  }
  if (const std::optional<FieldProblem> problem = CheckCodePage(settings, kCodePageOptionWayOut)) {
    return Refusal(problem->field, problem->text);
  }
  if (settings.outputDirectory.empty()) {
    return Refusal(&PackageSettings::outputDirectory, kFillInAllBlanksText);
  }
  if (!IsValidOutputDirectory(settings.outputDirectory)) {
    return Refusal(&PackageSettings::outputDirectory, kInvalidOutputDirectoryText);
  }
  return std::nullopt;
}

// Makes sure the output folder exists, as the wizard does once the user agrees.
bool PrepareOutputDirectory(PackageSettings& settings, SystemError& error) {
  return OutputPathExists(settings.outputDirectory) ||
         CreateDirectoryTree(settings.outputDirectory, &error);
}

}  // namespace

void PrintUsage(std::ostream& stream) {
  stream << BatchUsage();
}

int RunBatch(std::span<const std::string_view> args, std::ostream& out, std::ostream& err) {
  BatchRequest request;
  std::string problem;
  switch (Parse(args, request, problem)) {
    case ParseOutcome::Help:
      PrintUsage(out);
      return CheckedOutput(out, err, kBatchSucceeded);
    case ParseOutcome::Mistake:
      err << problem << '\n' << kTryHelpText << '\n';
      return kBatchBadInput;
    case ParseOutcome::Run:
      break;
  }
  const PayloadBuild build = EmbeddedPayloadBuild();
  if (request.version) {
    out << VersionText(build);
    return CheckedOutput(out, err, kBatchSucceeded);
  }
  if (const std::optional<std::string> refusal = Validate(request, request.settings)) {
    err << *refusal << '\n' << kTryHelpText << '\n';
    return kBatchBadInput;
  }
  PackageSettings& settings = request.settings;
  settings.outputDirectory =
      WithTrailingSeparator(ResolveOutputDirectory(settings.outputDirectory, HomeDirectory()));
  if (IsExistingNonFolder(settings.outputDirectory)) {
    err << Refusal(&PackageSettings::outputDirectory,
                   OutputIsNotAFolderText(WithoutTrailingSeparator(settings.outputDirectory)))
        << '\n'
        << kTryHelpText << '\n';
    return kBatchBadInput;
  }
  if (const std::string notice = PlaceholderNotice(build); !notice.empty()) {
    err << "warning: " << notice << '\n';
  }
  for (auto id : {&PackageSettings::vid, &PackageSettings::pid}) {
    if (const std::optional<std::string> note = ShortUsbIdNote(settings.*id)) {
      err << "warning: " << Refusal(id, *note) << '\n';
    }
  }
  SystemError error;
  if (!PrepareOutputDirectory(request.settings, error)) {
    err << kCouldNotCreateDirectoryText << '\n' << error.Describe() << '\n';
    return kBatchGenerationFailed;
  }
  StreamMessageBox box(out, err);
  const bool generated = GenerateFiles(request.settings, box);
  if (request.printSummary) {
    // The summary ends without a line break, exactly as the summary page holds it.
    out << request.settings.GetSummaryText();
  }
  return CheckedOutput(out, err, generated ? kBatchSucceeded : kBatchGenerationFailed);
}
