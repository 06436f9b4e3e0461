// Which command lines open the wizard: none, or Qt's own options only.
#include "wizard/RunWizard.h"

#include <string_view>
#include <vector>

#include <gtest/gtest.h>

TEST(WizardCommandLine, OnlyQtOptionsOpenTheWizard) {
  using Args = std::vector<std::string_view>;
  struct Case {
    Args args;
    bool wizard;
    bool platformGiven;
  };
  const std::vector<Case> cases = {
      {{}, true, false},
      {{"-platform", "offscreen", "-style=fusion", "-reverse"}, true, true},
      {{"-platform=offscreen"}, true, false},  // not the form that names a platform
      {{"-platform"}, false, false},           // its value is missing
      {{"-reverse=1"}, false, false},          // a flag takes no value
      {{"--"}, false, false},
      {{"-style", "fusion", "x"}, false, false},
      {{"--batch"}, false, false},
      {{"-x"}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const auto line = ReadWizardCommandLine(c.args);
    ASSERT_EQ(line.has_value(), c.wizard);
    if (line) {
      EXPECT_EQ(line->platformGiven, c.platformGiven);
    }
  }
}
