// Real files for the configuration tests: the shared temporary folder and
// whole-file helpers under the names these suites use.
#pragma once

#include "support/TempDir.h"

namespace configtest {
using TempDir = testsupport::TempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;
}  // namespace configtest
