// What a reload of Romvale.cfg changes, in words for the log, and whether the
// serial port has to be opened again for it.
#pragma once

#include "config/LoaderConfig.h"

#include <string>
#include <vector>

/// One "KEY old -> new" text per setting that differs, in the file's order.
std::vector<std::string> DescribeConfigChanges(const LoaderConfig& before,
                                               const LoaderConfig& after);

/// Whether the port, its device, line type, rate, modem command or PORT=NONE differ.
bool SerialSettingsDiffer(const LoaderConfig& before, const LoaderConfig& after);

/// "COM1 (/dev/ttyS0), 57600 bit/s, RS232" for the settings' port, or "none (PORT=NONE)".
std::string DescribeSerialPort(const LoaderConfig& cfg);
