// Tarvix's command line: one option table that parses the arguments and writes
// the --help text.
#pragma once

#include "runtime/LoaderOptions.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

/// What the command line asks for.
struct TarvixOptions {
  bool headless = false;
  bool help = false;
  bool version = false;
  bool checkConfig = false;  // --check-config: check the configuration and end
  LoaderOptions loader;
};

/// The --help text, made from the option table.
std::string TarvixUsage();

/// The --version text.
std::string TarvixVersion();

/// Parses the arguments after the program name. nullopt with a one-line reason
/// in error for an unknown option, a missing or bad value, or an option that
/// needs --headless without it.
std::optional<TarvixOptions> ParseTarvixArgs(std::span<const std::string_view> args,
                                             std::string& error);
