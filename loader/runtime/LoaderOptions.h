// What the command line tells the running loader, whichever front end runs it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// Settings the command line gives both front ends.
struct LoaderOptions {
  std::optional<std::uint16_t> nTcpPort;  // --tcp-port: overrides TCPPORT of Romvale.cfg
  std::string strConfigPath;              // --config FILE; empty: ./Romvale.cfg
  bool bEveryProgressStep = false;        // --progress=all: every progress change is a line
};
