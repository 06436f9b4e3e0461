// Command line of terminal-sim: parses the options, opens the line, plays the
// modem and the terminal, and reports the figures.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace termsim {

inline constexpr int kExitOk = 0;
inline constexpr int kExitMismatch = 1;  // a reply differed, timed out, or the line failed
inline constexpr int kExitUsage = 2;

/// Runs terminal-sim with args (without the program name); results go to out,
/// errors to err. Returns the exit code.
int RunTerminalSim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// The --help text.
std::string UsageText();

}  // namespace termsim
