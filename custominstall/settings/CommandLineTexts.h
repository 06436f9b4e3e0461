// What both front ends say about a command line they cannot use, and its exit code.
#pragma once

#include <string_view>

/// Exit code for a command line or value the program refuses (nothing is written).
inline constexpr int kBadCommandLineExit = 2;

/// The second line of every command-line mistake.
inline constexpr std::string_view kTryHelpText = "Try 'VB7350CustomInstall --help'.";
