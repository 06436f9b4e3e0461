// Whether two configurations open the serial port differently.
#pragma once

#include "config/LoaderConfig.h"

#include <string>

/// The device of the settings' port ("" for a port out of range).
std::string PortDeviceOf(const LoaderConfig& cfg);

/// Whether the port, its device, line type, rate, modem command, frame dispatch
/// or PORT=NONE differ: the port has to be opened again for them.
bool SerialSettingsDiffer(const LoaderConfig& before, const LoaderConfig& after);

/// Whether the settings every serial line shares (line type, rate, modem command,
/// frame dispatch) differ: each line has to be opened again for them.
bool LineSettingsDiffer(const LoaderConfig& before, const LoaderConfig& after);
