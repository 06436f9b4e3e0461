// Tarvix's command line and its headless front end (no window, same core).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

/// What the command line asks for.
struct TarvixOptions {
  bool bHeadless = false;
  bool bHelp = false;
  std::uint16_t nTcpPort = 7000;
};

/// The usage text printed by --help and after a bad option.
std::string_view TarvixUsage();

/// Parses the arguments after the program name. nullopt with a reason in error
/// for an unknown option, a missing or bad port, or --tcp-port without --headless.
std::optional<TarvixOptions> ParseTarvixArgs(std::span<const std::string_view> args, std::string& error);

/// Runs the loader headless in the current directory until SIGINT or SIGTERM.
/// Exit code: 0 after a signal, 2 for a bad command line.
int RunHeadless(int argc, char** argv);
