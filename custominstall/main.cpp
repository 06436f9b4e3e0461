// VB7350CustomInstall: the wizard, or with --batch the generator on the command line.
#include <iostream>
#include <span>
#include <string_view>
#include <vector>

#include "batch/RunBatch.h"

#ifdef VB7350_HAVE_WIZARD
#include "wizard/RunWizard.h"
#else
namespace {
// A build without the wizard can only generate from the command line.
int RunWizard(int /*argc*/, char** /*argv*/) {
  std::cerr << "The wizard is not available in this build; use --batch.\n";
  PrintUsage(std::cerr);
  return kBatchBadInput;
}
}  // namespace
#endif

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  for (std::string_view arg : args) {
    if (arg == "--batch" || arg == "--help" || arg == "-h") {
      return RunBatch(args, std::cout, std::cerr);
    }
  }
  return RunWizard(argc, argv);
}
