// VB7350CustomInstall: the wizard, or with --batch the generator on the command line.
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

#include "batch/RunBatch.h"
#include "wizard/RunWizard.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  // Every argument but Qt's own is the command line's, so a mistake is reported as such
  // whether or not a display is there to show the wizard on.
  if (const std::optional<WizardCommandLine> wizard = ReadWizardCommandLine(args)) {
    return RunWizard(argc, argv, *wizard);
  }
  return RunBatch(args, std::cout, std::cerr);
}
