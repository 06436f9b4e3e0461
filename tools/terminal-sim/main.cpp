// terminal-sim: a download terminal (and answering modem) for checking the loader.
#include "Cli.h"

#include <csignal>
#include <iostream>

int main(int argc, char** argv) {
  // A loader that drops the line must give an error message, not kill us.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return termsim::RunTerminalSim(args, std::cout, std::cerr);
}
