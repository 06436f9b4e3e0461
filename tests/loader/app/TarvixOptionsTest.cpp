// Tarvix's command line: options, values and the help text.
#include "app/TarvixOptions.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

TEST(TarvixArgs, GoodAndBadCommandLines) {
  std::string error;
  using Args = std::vector<std::string_view>;
  auto parse = [&](Args args) { return ParseTarvixArgs(args, error); };

  auto o = parse({});
  ASSERT_TRUE(o);
  EXPECT_FALSE(o->headless);
  o = parse({"--headless"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->headless);
  EXPECT_FALSE(o->loader.tcpPort);  // TCPPORT of Romvale.cfg decides
  EXPECT_EQ(o->loader.configPath, "");
  o = parse({"--headless", "--tcp-port", "7100"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->loader.tcpPort, 7100);
  o = parse({"--tcp-port=65535", "--headless"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->loader.tcpPort, 65535);
  o = parse({"--config", "/etc/tarvix/Romvale.cfg", "--headless"});
  ASSERT_TRUE(o);
  EXPECT_EQ(o->loader.configPath, "/etc/tarvix/Romvale.cfg");
  o = parse({"--config=my.cfg"});  // the window takes it too
  ASSERT_TRUE(o);
  EXPECT_EQ(o->loader.configPath, "my.cfg");
  o = parse({"--headless", "--progress", "all"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->loader.everyProgressStep);
  o = parse({"--check-config", "--config=x.cfg"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->checkConfig);
  EXPECT_FALSE(o->loader.everyProgressStep);
  o = parse({"-h"});
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->help);

  for (const Args& bad :
       {Args{"--headless", "--tcp-port"}, Args{"--headless", "--tcp-port", "0"},
        Args{"--headless", "--tcp-port", "65536"}, Args{"--headless", "--tcp-port", "7o"},
        Args{"--headless", "--tcp-port=", "x"}, Args{"--headless", "-x"}, Args{"headless"},
        Args{"--tcp-port", "7000"}, Args{"--headless", "--config"}, Args{"--config="},
        Args{"--headless", "--progress=sometimes"}, Args{"--progress=all"}}) {
    error.clear();
    EXPECT_FALSE(parse(bad));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(
      TarvixUsage().starts_with("Usage: Tarvix [--headless [--tcp-port N] [--progress all|1s]]"));
}

// The wording every program of the kit uses for the same mistakes.
TEST(TarvixArgs, MistakesInTheSharedWording) {
  using Args = std::vector<std::string_view>;
  const std::vector<std::pair<Args, std::string>> cases = {
      {{"--headless", "--bogus"}, "unknown option '--bogus'"},
      {{"--bogus=1"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"-headless"}, "unknown option '-headless'"},
      {{"--h"}, "unknown option '--h'"},
      {{"--headless", "--tcp-port"}, "option '--tcp-port' needs a value"},
      {{"--config"}, "option '--config' needs a value"},
      {{"--headless", "--tcp-port=0"}, "--tcp-port: '0' is not a TCP port (1..65535)"},
      {{"--headless", "--tcp-port", "7o"}, "--tcp-port: '7o' is not a TCP port (1..65535)"},
      {{"--tcp-port", "7000"}, "--tcp-port: works only with --headless"},
      {{"--config="}, "--config: the file name is empty"},
      {{"--headless=yes"}, "--headless: takes no value"},
      {{"headless"}, "unexpected argument 'headless'"},
      {{"--headless", "--", "--tcp-port"}, "unexpected argument '--tcp-port'"},
  };
  for (const auto& [args, expected] : cases) {
    SCOPED_TRACE(expected);
    std::string error;
    EXPECT_FALSE(ParseTarvixArgs(args, error));
    EXPECT_EQ(error, expected);
  }
  // '--' alone ends nothing but the options; a value keeps every '=' after the first.
  std::string error;
  auto o = ParseTarvixArgs(Args{"--headless", "--config=a=b", "--"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->loader.configPath, "a=b");
  o = ParseTarvixArgs(Args{"--config", "--headless"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->loader.configPath, "--headless");
  // A file name is bytes: one that is not UTF-8 reaches the loader unchanged.
  o = ParseTarvixArgs(Args{"--config=caf\xe9.cfg"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ(o->loader.configPath, "caf\xe9.cfg");
  EXPECT_FALSE(o->headless);
  // The version names the program's own and the one the window shows.
  EXPECT_TRUE(TarvixVersion().starts_with("Tarvix 1."));
  EXPECT_TRUE(TarvixVersion().ends_with(" (Romvale Ver 1.02)\n"));
}

TEST(TarvixArgs, HelpListsEveryOptionOnce) {
  const std::string usage = TarvixUsage();
  for (std::string_view option :
       {"--headless ", "--config FILE ", "--tcp-port N ", "--help, -h ", "--version "}) {
    SCOPED_TRACE(option);
    const std::string line = "\n  " + std::string(option);
    const auto first = usage.find(line);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(usage.find(line, first + 1), std::string::npos);
  }
  std::string error;
  const std::vector<std::string_view> args = {"--version"};
  const auto o = ParseTarvixArgs(args, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->version);
}
