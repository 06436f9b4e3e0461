// Tarvix --check-config: reads the configuration as a start would, opens no
// port, and reports every problem found.
#pragma once

#include "runtime/LoaderOptions.h"

#include <iosfwd>
#include <string>

/// The configuration file a start would read: --config (relative to curDir)
/// or curDir/Romvale.cfg.
std::string ConfigFileFor(const LoaderOptions& options, const std::string& curDir);

/// Prints one "warning: <file>: ..." line per problem, then "ok" or "N problems"
/// ("1 problem"). Exit code 0 when there is none, 1 otherwise.
int RunCheckConfig(const LoaderOptions& options, std::ostream& out);
