// What the command line tells the running loader, whichever front end runs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// Settings the command line gives both front ends.
struct LoaderOptions {
  std::optional<std::uint16_t> tcpPort;  // --tcp-port: overrides TCPPORT of Romvale.cfg
  std::string configPath;                // --config FILE; empty: ./Romvale.cfg
  bool everyProgressStep = false;        // --progress=all: every progress change is a line
};
