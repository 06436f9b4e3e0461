// Entry point of Tarvix with its window (the program without --headless).
#pragma once

#include "runtime/LoaderOptions.h"

/// Runs the loader behind its main window until the window is closed: the
/// download core, the serial port and the TCP listener, with message boxes,
/// the port dialog and the folder chooser on screen. Returns the exit code.
int RunWindow(int argc, char** argv, const LoaderOptions& options);
