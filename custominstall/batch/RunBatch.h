// VB7350CustomInstall --batch: the package generator driven from the command line.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

#include "settings/CommandLineTexts.h"

/// Exit codes of the batch run.
inline constexpr int kBatchSucceeded = 0;
inline constexpr int kBatchGenerationFailed = 1;
inline constexpr int kBatchBadInput = kBadCommandLineExit;

/// The usage text that --help prints.
void PrintUsage(std::ostream& stream);

/// Runs one batch generation, or --help, or --version. args are the command-line
/// arguments after the program name. Returns 0 when the package was written, 1 when the
/// folder or a file could not be written, 2 for bad input (nothing written).
///
/// Messages: a command-line mistake is one line and kTryHelpText; so is a refused value,
/// whose line is "--option: " and the wizard page's text; a failure on disk is the wizard's text
/// and, on the next line, the path and the system's reason.
int RunBatch(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
