// VB7350CustomInstall --batch: the package generator driven from the command line.
#include "batch/RunBatch.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"
#include "batch/StreamMessageBox.h"
#include "generator/BuildNotice.h"
#include "generator/GenerateFiles.h"
#include "settings/DirectoryTree.h"
#include "settings/OutputFolder.h"
#include "settings/PackageSettings.h"
#include "settings/PageRules.h"
#include "settings/Validation.h"

namespace {

constexpr std::string_view kCouldNotWriteOutputText = "Could not write to standard output.";

struct BatchRequest {
  PackageSettings settings;
  bool batchGiven = false;
  bool outputGiven = false;
  bool printSummary = false;
  bool version = false;
};

bool IsFlag(std::string_view name) {
  for (const BatchOption& option : BatchOptions()) {
    if (option.name == name) {
      return option.valueName.empty();
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

// What the library is given: "--opt=" becomes "--opt" "" (the library would take the
// next argument as the value instead of the empty one typed).
std::vector<std::string> LibraryArguments(std::span<const std::string_view> args) {
  std::vector<std::string> result;
  for (std::string_view arg : args) {
    if (arg.starts_with("--") && arg.ends_with("=") && !IsFlag(arg.substr(0, arg.size() - 1))) {
      result.emplace_back(arg.substr(0, arg.size() - 1));
      result.emplace_back();
    } else {
      result.emplace_back(arg);
    }
  }
  return result;
}

// The option a library message starts with ("--vid: 1 required TEXT missing").
std::string OptionOfMessage(const std::string& message) {
  return message.substr(0, message.find(':'));
}

enum class ParseOutcome { Run, Help, Mistake };

// Reads the arguments into request; on a mistake, problem holds its one-line message.
ParseOutcome Parse(std::span<const std::string_view> args, BatchRequest& request,
                   std::string& problem) {
  CLI::App app;
  app.allow_extras();
  app.set_help_flag();  // --help is an option of the table, printed by our own text
  bool help = false;
  for (const BatchOption& option : BatchOptions()) {
    const std::string name(option.name);
    if (option.text != nullptr) {
      app.add_option_function<std::string>(name,
                                           [&request, &option](const std::string& value) {
                                             request.settings.*option.text = value;
                                             request.outputGiven |= option.name == kOutputOption;
                                           })
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
      continue;
    }
    bool* target = nullptr;
    if (option.name == kBatchOption) {
      target = &request.batchGiven;
    } else if (option.name == kPrintSummaryOption) {
      target = &request.printSummary;
    } else if (option.name == kVersionOption) {
      target = &request.version;
    } else if (option.name == "--help") {
      target = &help;
    }
    const std::string names = option.name == "--help" ? "-h,--help" : name;
    app.add_flag_callback(names,
                          [&request, &option, target] {
                            if (option.clears != nullptr) {
                              request.settings.*option.clears = false;
                            } else {
                              *target = true;
                            }
                          })
        ->disable_flag_override();
  }

  const std::vector<std::string> arguments = LibraryArguments(args);
  // A flag with "=value" would be read as a value for the flag; it is no option of ours.
  for (const std::string& arg : arguments) {
    const std::size_t equals = arg.find('=');
    if (arg.starts_with("--") && equals != std::string::npos && IsFlag(arg.substr(0, equals))) {
      problem = "Unknown option: " + arg;
      return ParseOutcome::Mistake;
    }
  }
  // A mistake the library stops at does not hide an asked-for --help.
  const auto helpOr = [&arguments](ParseOutcome outcome) {
    for (const std::string& arg : arguments) {
      if (arg == "--help" || arg == "-h") {
        return ParseOutcome::Help;
      }
    }
    return outcome;
  };
  try {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch& error) {
    problem = "Option " + OptionOfMessage(error.what()) + " needs a value.";
    return helpOr(ParseOutcome::Mistake);
  } catch (const CLI::ParseError& error) {
    problem = error.what();
    return helpOr(ParseOutcome::Mistake);
  }
  // --help wins over every other argument, but not where it is the value of an option
  // (--long-name --help names the device "--help").
  if (help) {
    return ParseOutcome::Help;
  }
  if (const std::vector<std::string> extras = app.remaining(); !extras.empty()) {
    problem = "Unknown option: " + extras.front();
    return ParseOutcome::Mistake;
  }
  if (request.version) {
    return ParseOutcome::Run;
  }
  // Only --batch generates; a "--batch" that is an option's value does not count.
  if (!request.batchGiven) {
    problem = "Missing --batch.";
    return ParseOutcome::Mistake;
  }
  if (!request.outputGiven) {
    problem = "Missing --output DIR.";
    return ParseOutcome::Mistake;
  }
  return ParseOutcome::Run;
}

std::string Refusal(std::string PackageSettings::*field, std::string_view text) {
  const BatchOption* option = OptionForField(field);
  return std::string(option != nullptr ? option->name : "") + ": " + std::string(text);
}

// The checks the wizard's pages make, in page order, with the pages' texts after the
// option they concern.
std::optional<std::string> Validate(PackageSettings& settings) {
  // The VID and PID boxes turn typed letters into capitals.
  settings.Vid = ToUpperAscii(settings.Vid);
  settings.Pid = ToUpperAscii(settings.Pid);

  for (const BatchOption& option : BatchOptions()) {
    if (option.text == nullptr) {
      continue;
    }
    const std::string& value = settings.*option.text;
    if (value.size() > static_cast<std::size_t>(option.limit)) {
      return Refusal(option.text, "takes at most " + std::to_string(option.limit) +
                                      " characters; got " + std::to_string(value.size()) + ".");
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
  if (settings.OutputDirectory.empty()) {
    return Refusal(&PackageSettings::OutputDirectory, kFillInAllBlanksText);
  }
  if (!IsValidOutputDirectory(settings.OutputDirectory)) {
    return Refusal(&PackageSettings::OutputDirectory, kInvalidOutputDirectoryText);
  }
  return std::nullopt;
}

// Makes sure the output folder exists, as the wizard does once the user agrees.
bool PrepareOutputDirectory(PackageSettings& settings, SystemError& error) {
  settings.OutputDirectory =
      WithTrailingSeparator(ResolveOutputDirectory(settings.OutputDirectory, HomeDirectory()));
  return OutputPathExists(settings.OutputDirectory) ||
         CreateDirectoryTree(settings.OutputDirectory, &error);
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
  if (const std::optional<std::string> refusal = Validate(request.settings)) {
    err << *refusal << '\n';
    return kBatchBadInput;
  }
  if (const std::string notice = PlaceholderNotice(build); !notice.empty()) {
    err << "warning: " << notice << '\n';
  }
  SystemError error;
  if (!PrepareOutputDirectory(request.settings, error)) {
    err << kCouldNotCreateDirectoryText << '\n' << error.Describe() << '\n';
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
