// VB7350CustomInstall --batch: the package generator driven from the command line.
#pragma once

#include <ostream>
#include <span>
#include <string_view>

/// Exit codes of the batch run.
inline constexpr int kBatchSucceeded = 0;
inline constexpr int kBatchGenerationFailed = 1;
inline constexpr int kBatchBadInput = 2;

/// The usage text that --help prints.
void PrintUsage(std::ostream& stream);

/// Runs one batch generation. args are the command-line arguments after the program
/// name ("--batch" among them is accepted). Returns 0 when the package was written,
/// 1 when the folder or a file could not be written, 2 for bad input (nothing written).
int RunBatch(std::span<const std::string_view> args, std::ostream& out, std::ostream& err);
