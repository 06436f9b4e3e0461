// The metrics of several serial lines: series by line, none with one line.
#include "headless/MetricsText.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

TEST(LineMetrics, EveryLineHasItsSeriesAndPromtoolReadsThem) {
  MetricsSnapshot snapshot;
  DownloadReport rom;
  rom.done = true;
  rom.kind = "rom";
  rom.via = "serial COM2";
  rom.line = "COM2";
  DownloadReport bll;
  bll.kind = "bll";
  bll.via = "tcp 127.0.0.1:40000";  // shared with the PORT line
  bll.line = "COM1";
  snapshot.downloads.Add(rom);
  snapshot.downloads.Add(bll);
  EXPECT_EQ(FormatMetrics(snapshot).find("tarvix_line_"), std::string::npos);

  snapshot.lines = {{"COM1", false}, {"COM2", true}};
  const std::string text = FormatMetrics(snapshot);
  for (const char* expected :
       {"tarvix_line_downloads_total{line=\"COM2\",kind=\"rom\",result=\"done\"} 1\n",
        "tarvix_line_downloads_total{line=\"COM2\",kind=\"bll\",result=\"done\"} 0\n",
        "tarvix_line_downloads_total{line=\"COM1\",kind=\"bll\",result=\"failed\"} 1\n",
        "tarvix_line_active_downloads{line=\"COM1\"} 0\n",
        "tarvix_line_active_downloads{line=\"COM2\"} 1\n"}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  if (std::system("command -v promtool > /dev/null") != 0) {
    GTEST_SKIP() << "promtool not installed: the text was checked by this test only";
  }
  testsupport::TempDir dir("tarvix-metrics");
  const std::string saved = dir.Path().string() + "/metrics.txt";
  std::ofstream(saved) << text;
  EXPECT_EQ(std::system(("promtool check metrics < '" + saved + "'").c_str()), 0);
}
