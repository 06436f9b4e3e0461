// Tarvix: the window by default, the headless server with --headless.
#include "app/TarvixOptions.h"
#include "comm/SocketStartup.h"
#include "headless/CheckConfig.h"
#include "headless/HeadlessMain.h"
#include "window/WindowMain.h"

#include <signal.h>

#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
  // A peer that closes its end must never end the server: writes report EPIPE instead.
  ::signal(SIGPIPE, SIG_IGN);
  // Each TCP terminal holds a descriptor; the soft limit is often far below the hard one.
  RaiseDescriptorLimit();
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseTarvixArgs(args, error);
  if (!options) {
    std::cerr << error << "\nTry 'Tarvix --help'.\n";
    return 2;
  }
  if (options->help) {
    std::cout << TarvixUsage() << std::flush;
    return 0;
  }
  if (options->version) {
    std::cout << TarvixVersion() << std::flush;
    return 0;
  }
  if (options->checkConfig) return RunCheckConfig(options->loader, std::cout);
  if (options->headless) return RunHeadless(argc, argv, options->loader);
  return RunWindow(argc, argv, options->loader);
}
