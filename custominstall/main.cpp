// VB7350CustomInstall: the wizard, or with --batch the generator on the command line.
#include <iostream>
#include <string_view>
#include <vector>

#include "batch/RunBatch.h"
#include "wizard/RunWizard.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  for (std::string_view arg : args) {
    if (arg == "--batch" || arg == "--help" || arg == "-h" || arg == "--version") {
      return RunBatch(args, std::cout, std::cerr);
    }
  }
  return RunWizard(argc, argv);
}
