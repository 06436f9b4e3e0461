// Tarvix: the window by default, the headless server with --headless.
#include "app/HeadlessMain.h"

#ifdef TARVIX_HAVE_WINDOW
#include "app/WindowMain.h"
#endif

#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseTarvixArgs(args, error);
  if (!options) {
    std::cerr << "Tarvix: " << error << "\n" << TarvixUsage();
    return 2;
  }
  if (options->bHelp) {
    std::cout << TarvixUsage() << std::flush;
    return 0;
  }
  if (options->bHeadless) return RunHeadless(argc, argv);
#ifdef TARVIX_HAVE_WINDOW
  return RunWindow(argc, argv);
#else
  std::cerr << "Tarvix: this build has no window; use --headless\n" << TarvixUsage();
  return 2;
#endif
}
