// The options of VB7350CustomInstall --batch: one table that the parser, the checks and
// --help all read.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "settings/PackageSettings.h"

/// One option: a text that fills a field (with the limit of the wizard's edit box), or a
/// flag that clears a field, or (neither) an option of the run itself, taking a value
/// when it has a valueName.
struct BatchOption {
  std::string_view name;
  std::string_view valueName;  // "" for a flag
  std::string_view help;
  std::string PackageSettings::*text = nullptr;
  bool PackageSettings::*clears = nullptr;
  int limit = 0;
};

inline constexpr std::string_view kBatchOption = "--batch";
inline constexpr std::string_view kOutputOption = "--output";
inline constexpr std::string_view kPrintSummaryOption = "--print-summary";
inline constexpr std::string_view kVersionOption = "--version";
inline constexpr std::string_view kCodePageOption = "--code-page";
inline constexpr std::string_view kHelpOption = "--help";
inline constexpr std::string_view kShortHelpOption = "-h";

/// Every option of --batch, in the order of the wizard's pages.
std::span<const BatchOption> BatchOptions();

/// The option called name ("--vid"); null when there is none.
const BatchOption* FindOption(std::string_view name);

/// The option that fills field; null when none does.
const BatchOption* OptionForField(std::string PackageSettings::*field);

/// The --help text, made from BatchOptions().
std::string BatchUsage();
