// What the command line tells the running loader, whichever front end runs it.
#pragma once

#include "config/LoaderDefaults.h"

#include <cstdint>

/// Settings the command line gives both front ends.
struct LoaderOptions {
  std::uint16_t nTcpPort = kDefaultTcpPort;  // the listener's port (0 = any free one)
};
