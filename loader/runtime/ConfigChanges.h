// What a reload of Romvale.cfg changes, in words for the log.
#pragma once

#include "config/LoaderConfig.h"
#include "core/SerialSettings.h"

#include <string>
#include <vector>

/// One "KEY old -> new" text per setting that differs, in the file's order.
std::vector<std::string> DescribeConfigChanges(const LoaderConfig& before,
                                               const LoaderConfig& after);

/// "COM1 (/dev/ttyS0), 57600 bit/s, RS232" for the settings' port, or "none (PORT=NONE)".
std::string DescribeSerialPort(const LoaderConfig& cfg);

/// The same words for a serial line served with cfg's shared settings.
std::string DescribeSerialLine(const LoaderConfig& cfg, const SerialLineConfig& line);
