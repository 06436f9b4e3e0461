// Entry point of Tarvix with its window (the program without --headless).
#pragma once

#include "runtime/LoaderOptions.h"

#include <string>

/// Runs the loader behind its main window until the window is closed: the
/// download core, the serial port and the TCP listener, with message boxes,
/// the port dialog and the folder chooser on screen. Returns the exit code.
int RunWindow(int argc, char** argv, const LoaderOptions& options);

/// The configuration file the window reads: --config, else Romvale.cfg in
/// curDir when it is there, else the user's $XDG_CONFIG_HOME/tarvix/Romvale.cfg
/// (~/.config/tarvix/Romvale.cfg), as for a start from the desktop menu.
std::string WindowConfigPath(const LoaderOptions& options, const std::string& curDir);
