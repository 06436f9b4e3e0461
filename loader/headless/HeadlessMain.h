// Tarvix's headless front end: the loader without a window, on the console.
#pragma once

#include "runtime/LoaderOptions.h"

/// Runs the loader headless in the current directory until SIGINT or SIGTERM.
/// Exit code: 0 after a signal, 1 when the server cannot start.
int RunHeadless(int argc, char** argv, const LoaderOptions& options);
