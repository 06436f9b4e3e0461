// A build with real payloads (a test folder embedded in place of the placeholders):
// no warning, no notice, and --version says so.
#include "batch/RunBatch.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"
#include "generator/BuildNotice.h"
#include "payloads/Payloads.h"

namespace fs = std::filesystem;
using namespace testsupport;

TEST(RealPayloadBuild, GeneratesWithoutAWarningAndWritesTheRealFiles) {
  EXPECT_FALSE(EmbeddedPayloadBuild().placeholders);
  EXPECT_EQ(PlaceholderNotice(EmbeddedPayloadBuild()), "");
  TempDir temp;
  const std::string output = temp.Dir() + "pkg";
  const std::vector<std::string_view> args = {"--batch", "--output", output};
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunBatch(args, out, err), 0);
  EXPECT_EQ(err.str(), "");
  EXPECT_EQ(out.str(), "Files Successfully Generated\n");
  EXPECT_EQ(ReadFile(fs::path(output) / "vornbus.sys"),
            ReadFile(fs::path(VB7350_REAL_PAYLOAD_DIR) / "vornbus.sys"));
  EXPECT_EQ(ReadFile(fs::path(output) / "vornbus.sys"), "MZ real vornbus.sys\n");
}

TEST(RealPayloadBuild, VersionSaysRealWithTheManifestChecksum) {
  const std::vector<std::string_view> args = {"--version"};
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunBatch(args, out, err), 0);
  const std::string checksum(EmbeddedPayloadBuild().manifestChecksum);
  EXPECT_EQ(checksum.size(), 64u);
  EXPECT_EQ(out.str(), std::string("VB7350CustomInstall ") + VB7350_VERSION +
                           "\nPayloads: real\nPayload manifest SHA-256: " + checksum + "\n");
  EXPECT_EQ(err.str(), "");
}
