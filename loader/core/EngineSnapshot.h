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

/// One serial line when several are served (PORTS), as the window's table and
/// the headless lines show it. The PORT line's port line, status and progress
/// are the snapshot's own (it shares its download with TCP).
struct LineView {
  std::string name;      // "COM2"
  std::string device;    // "/dev/ttyUSB1"
  std::string portLine;  // as EngineSnapshot::portLine, for this line
  std::string state;     // "open", or why it is not
  std::string status;    // its status line
  std::string file;      // its latest download's image ("" before the first)
  int percent = 0;       // of that download
  bool running = false;  // that download runs
  bool isPort = false;   // the PORT line (first in the list)
};

/// The engine's shown state.
struct EngineSnapshot {
  std::string portLine;     // edit 1000: the port, its mode and rate, or why it is not open
  std::string status;       // edit 1006: the status line
  std::string romLocation;  // edit 1001: the ROM folder
  /// Why the serial port is not open and where its device is set ("" while open).
  std::string portExplanation;
  bool controlsEnabled = true;  // buttons 1005, 3, 1008 (false while a transfer runs)
  bool serialPortUsed = true;   // false with PORT=NONE: nothing to send the trigger on
  /// CONCURRENT=1: the list of running downloads is shown (DownloadEngine::OwnDownloads).
  bool listsDownloads = false;
  std::string configPath;                           // the configuration file
  std::array<std::string, kPortCount> portDevices;  // [Ports] COM1..COM8 in effect
  /// Every serial line, PORT's first, when PORTS names lines beyond it; empty otherwise.
  std::vector<LineView> lines;
};
