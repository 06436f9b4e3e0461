// What the front ends show of the engine, as values: the window and the
// headless runner receive these and never read the engine itself.
#pragma once

#include "config/LoaderDefaults.h"

#include <array>
#include <string>
#include <vector>

/// One running download of a line's own (CONCURRENT=1), as the window lists it.
struct DownloadInfo {
  std::string peer;
  std::string file;
  int percent = 0;
};

/// The engine's shown state.
struct EngineSnapshot {
  std::string portLine;     // edit 1000: the port, its mode and rate, or why it is not open
  std::string status;       // edit 1006: the status line
  std::string romLocation;  // edit 1001: the ROM folder
  /// Why the serial port is not open and where its device is set ("" while open).
  std::string portExplanation;
  bool controlsEnabled = true;          // buttons 1005, 3, 1008 (false while a transfer runs)
  bool serialPortUsed = true;           // false with PORT=NONE: nothing to send the trigger on
  bool listsDownloads = false;          // CONCURRENT=1: the list of running downloads is shown
  std::vector<DownloadInfo> downloads;  // running downloads of lines' own, oldest first
  std::string configPath;               // the configuration file
  std::array<std::string, kPortCount> portDevices;  // [Ports] COM1..COM8 in effect
};
