// What both front ends say about a command line they cannot use, and its exit code.
#pragma once

#include <string_view>

/// Exit code for a command line or value the program refuses (nothing is written).
inline constexpr int kBadCommandLineExit = 2;

/// Ends the options: every word after it is an argument, not an option.
inline constexpr std::string_view kEndOfOptions = "--";

/// The second line of every command-line mistake.
inline constexpr std::string_view kTryHelpText = "Try 'VB7350CustomInstall --help'.";

/// The parts of the one-line messages about a command line, around the quoted option or
/// argument: "unknown option '--foo'", "option '--vid' needs a value", "unexpected
/// argument 'foo'", "missing option '--batch'", "--print-summary: takes no value".
inline constexpr std::string_view kUnknownOptionText = "unknown option ";
inline constexpr std::string_view kOptionText = "option ";
inline constexpr std::string_view kNeedsAValueText = " needs a value";
inline constexpr std::string_view kUnexpectedArgumentText = "unexpected argument ";
inline constexpr std::string_view kMissingOptionText = "missing option ";
inline constexpr std::string_view kTakesNoValueText = "takes no value";
