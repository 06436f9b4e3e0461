// The embedded payloads: what the build embedded and what the run writes out.
#include "payloads/Payloads.h"

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"
#include "generator/ExtractPayload.h"
#include "generator/GenerateFiles.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const fs::path kPayloadSourceDir = VB7350_PAYLOAD_SOURCE_DIR;

std::string AsString(std::span<const std::uint8_t> bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

TEST(Payloads, ThirteenFilesEmbeddedByteForByte) {
  const std::set<int> expectedIds = {145, 147, 148, 149, 150, 151, 152,
                                     153, 154, 155, 199, 200, 202};
  std::set<int> ids;
  for (const EmbeddedPayload& payload : EmbeddedPayloads()) {
    SCOPED_TRACE(payload.fileName);
    ids.insert(payload.id);
    EXPECT_EQ(AsString(payload.bytes), ReadFile(kPayloadSourceDir / std::string(payload.fileName)));
    ASSERT_TRUE(FindPayload(payload.id).has_value());
    EXPECT_EQ(FindPayload(payload.id)->data(), payload.bytes.data());
  }
  EXPECT_EQ(ids, expectedIds);
  EXPECT_FALSE(FindPayload(146).has_value());
}

TEST(Payloads, EachWrittenFileEqualsItsEmbeddedBytes) {
  TempDir temp;
  PackageSettings s;
  s.uninstallFileName = "tool";
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  ASSERT_TRUE(GenerateFiles(s, box));
  const std::pair<int, const char*> written[] = {
      {145, "vornbus.sys"},     {148, "vorncm95.sys"}, {149, "vorncmnt.sys"}, {150, "vorncr.sys"},
      {151, "vornser.sys"},     {152, "vornwh95.sys"}, {147, "vornwhnt.sys"}, {153, "vorncomm.vxd"},
      {154, "vornvcd.vxd"},     {155, "vornvcr.vxd"},  {199, "tool.exe"},     {200, "tool2k.exe"},
      {202, "PreInstaller.exe"}};
  for (const auto& [id, name] : written) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(FindPayload(id).has_value());
    EXPECT_EQ(ReadFile(temp.Path() / name), AsString(*FindPayload(id)));
    EXPECT_EQ(fs::file_size(temp.Path() / name), FindPayload(id)->size());
  }
}

TEST(ExtractPayload, UnknownIdFailsWithoutCreatingAFile) {
  TempDir temp;
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  EXPECT_FALSE(ExtractPayload(s, "ghost.sys", 146, box));
  EXPECT_FALSE(fs::exists(temp.Path() / "ghost.sys"));
  EXPECT_TRUE(box.messages.empty());
}
