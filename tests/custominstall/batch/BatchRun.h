// Runs --batch in-process with captured stdout and stderr, for the batch suites.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/RunBatch.h"
#include "generator/BuildNotice.h"

namespace testsupport {

struct BatchResult {
  int exitCode;
  std::string out;
  std::string err;
};

inline BatchResult RunWith(const std::vector<std::string>& args) {
  const std::vector<std::string_view> views(args.begin(), args.end());
  std::ostringstream out;
  std::ostringstream err;
  const int code = RunBatch(views, out, err);
  return {code, out.str(), err.str()};
}

/// What a build with placeholder payloads prints first on stderr ("" with real payloads).
inline std::string Warning() {
  const std::string notice = PlaceholderNotice(EmbeddedPayloadBuild());
  return notice.empty() ? "" : "warning: " + notice + "\n";
}

}  // namespace testsupport
