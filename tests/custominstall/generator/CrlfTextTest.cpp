// The text builder shared by the file writers.
#include "generator/CrlfText.h"

#include <string_view>

#include <gtest/gtest.h>

TEST(CrlfText, EveryRowEndsInCrLfAndValuesGoInVerbatim) {
  const Placeholder values[] = {{"A", "x$(B)y"}, {"B", "%b%"}};
  CrlfText text(values);
  const std::string_view rows[] = {"$(A)-$(B)", "", "$(C) $( $(B"};
  text.Rows(rows).Row("end");
  // A value that looks like a placeholder is not expanded again; unknown names stay.
  EXPECT_EQ(text.Text(), "x$(B)y-%b%\r\n\r\n$(C) $( $(B\r\nend\r\n");
}
