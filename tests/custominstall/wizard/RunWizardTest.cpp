// Which command lines open the wizard: none, or Qt's own options only.
#include "wizard/RunWizard.h"

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

TEST(WizardCommandLine, OnlyQtOptionsOpenTheWizard) {
  using Args = std::vector<std::string_view>;
  // nullopt: the command line is not the wizard's; otherwise whether it names a platform.
  const std::vector<std::pair<Args, std::optional<bool>>> cases = {
      {{}, false},
      {{"-platform", "offscreen", "-style=fusion", "-reverse"}, true},
      {{"-platform=offscreen"}, false},  // not the form that names a platform
      {{"-platform"}, std::nullopt},     // its value is missing
      {{"-reverse=1"}, std::nullopt},    // a flag takes no value
      {{"--"}, std::nullopt},
      {{"-style", "fusion", "x"}, std::nullopt},
      {{"--batch"}, std::nullopt},
      {{"-x"}, std::nullopt},
  };
  for (const auto& [args, platformGiven] : cases) {
    SCOPED_TRACE(testing::PrintToString(args));
    const std::optional<WizardCommandLine> line = ReadWizardCommandLine(args);
    ASSERT_EQ(line.has_value(), platformGiven.has_value());
    if (line) {
      EXPECT_EQ(line->platformGiven, *platformGiven);
    }
  }
}
