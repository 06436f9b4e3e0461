// The simulated terminal's frame builders, expected replies and selectors,
// against the protocol's worked values.
#include "Frames.h"

#include <cstdint>
#include <initializer_list>
#include <string>

#include <gtest/gtest.h>

#include "support/TestBytes.h"

using namespace termsim;

namespace {

constexpr auto B = testbytes::Bytes;
constexpr auto Text = testbytes::TextBytes;

}  // namespace

TEST(SimFrames, FixedRepliesAndTheirLrc) {
  EXPECT_EQ(RomEndReply(), B({0x0F, 0x35, 0x0E, 0x3B}));
  EXPECT_EQ(RomRejectReply(false), B({0x0F, 0x36, 0x31, 0x31, 0x31, 0x31, 0x0E, 0x38}));
  EXPECT_EQ(RomRejectReply(true), B({0x0F, 0x36, 0x30, 0x30, 0x30, 0x30, 0x0E, 0x38}));
  EXPECT_EQ(BllRejectReply(), B({0x02, 0x37, 0x31, 0x31, 0x31, 0x03, 0x05}));
  EXPECT_EQ(WithBadLrc(RomEndReply()), B({0x0F, 0x35, 0x0E, 0xC4}));
}

TEST(SimFrames, TerminalFrames) {
  EXPECT_EQ(RomRequest(Text("0")), B({0x0F, 0x31, 0x30, 0x0E, 0x0F}));
  EXPECT_EQ(RomRequest(Text("Mrom")), B({0x0F, 0x31, 0x4D, 0x72, 0x6F, 0x6D, 0x0E, 0x02}));
  EXPECT_EQ(RomRequest(Text("M")), B({0x0F, 0x31, 0x4D, 0x0E, 0x72}));
  EXPECT_EQ(RomBegin(), B({0x0F, 0x33, 0x0E, 0x3D}));
  EXPECT_EQ(RomNext(1, kAck), B({0x0F, 0x37, 0x00, 0x01, 0x06, 0x0E, 0x3E}));
  EXPECT_EQ(RomNext(1, kNak), B({0x0F, 0x37, 0x00, 0x01, 0x15, 0x0E, 0x2D}));
  EXPECT_EQ(RomTerminalError(), B({0x0F, 0x36, 0x0E, 0x38}));
  EXPECT_EQ(RomDone(), B({0x0F, 0x06, 0x0E, 0x08}));
  EXPECT_EQ(BllRequest(BllForm::Mca, "001"),
            B({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C}));
  EXPECT_EQ(BllRequest(BllForm::B, "001"),
            B({0x02, 0x31, 0x42, 0x1C, 0x30, 0x30, 0x31, 0x03, 0x5D}));
  EXPECT_EQ(BllRequest(BllForm::C, "001"),
            B({0x02, 0x31, 0x43, 0x1C, 0x30, 0x30, 0x31, 0x03, 0x5C}));
  EXPECT_EQ(BllBegin(), B({0x02, 0x33, 0x03, 0x30}));
  EXPECT_EQ(BllNext(0, kAck), B({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30}));
  EXPECT_EQ(BllTerminalError(), B({0x02, 0x37, 0x03, 0x34}));
}

TEST(SimFrames, BlockChecksum) {
  EXPECT_EQ(BlockChecksum(B({0xAA, 0xBB, 0xCC})), 0xBB66);
  EXPECT_EQ(BlockChecksum(B({0x5A})), 0x005A);
  EXPECT_EQ(BlockChecksum({}), 0);
}

TEST(SimFrames, ImageChecksumCoversTheFirstHalfOnly) {
  const Bytes ten = B({0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x01, 0x02});
  EXPECT_EQ(ImageChecksum(ten), 0x2A15);  // bytes 0-5
  Bytes eleven = ten;
  eleven.push_back(0x04);
  EXPECT_EQ(ImageChecksum(eleven), 0x2A55);  // bytes 0-6
  Bytes big(2048, 0);
  big[1023] = 0x5A;
  big[1024] = 0xA5;
  EXPECT_EQ(ImageChecksum(big), 0x5A00);  // bytes 0-1023
  EXPECT_EQ(ImageChecksum({}), 0);
}

TEST(SimFrames, StartRepliesCarryBlockCounts) {
  const Bytes image(5000, 0);
  EXPECT_EQ(RomStartReply(image, kRomBlockSize),
            B({0x0F, 0x32, 0x00, 0x03, 0x00, 0x00, 0x0E, 0x3F}));
  EXPECT_EQ(RomStartReply(image, kRomModemBlockSize),
            B({0x0F, 0x32, 0x00, 0x05, 0x00, 0x00, 0x0E, 0x39}));
  EXPECT_EQ(BllStartReply(300, kBllBlockSize), B({0x02, 0x32, 0x00, 0x02, 0x01, 0x00, 0x03, 0x32}));
  EXPECT_EQ(BllStartReply(300, kBllSubBlockSize),
            B({0x02, 0x32, 0x00, 0x03, 0x00, 0x80, 0x03, 0xB2}));
  EXPECT_EQ(BllEndReply(2), B({0x02, 0x36, 0x00, 0x02, 0x00, 0x02, 0x03, 0x35}));
  EXPECT_EQ(BlockCount(0, 2048), 0u);
  EXPECT_EQ(BlockCount(4096, 2048), 2u);
  EXPECT_EQ(BlockCount(4097, 2048), 3u);
}

TEST(SimFrames, DataFrameLayout) {
  Bytes image(300, 0);
  image[256] = 0xAA;
  image[257] = 0xBB;
  image[258] = 0xCC;
  const Bytes frame = DataReply(Family::Bll, image, kBllBlockSize, 1);
  ASSERT_EQ(frame.size(), 12u + 44u);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 12),
            B({0x02, 0x34, 0x00, 0x01, 0x00, 0x2C, 0x66, 0xBB, 0x1C, 0xAA, 0xBB, 0xCC}));
  // 1C, trailer, LRC = 34^01^2C^66^BB^1C^AA^BB^CC^1C^03
  EXPECT_EQ(Bytes(frame.end() - 3, frame.end()), B({0x1C, 0x03, 0x1A}));
  const Bytes romFrame = DataReply(Family::Rom, B({0x5A}), kRomBlockSize, 0);
  EXPECT_EQ(romFrame, B({0x0F, 0x34, 0x00, 0x00, 0x00, 0x01, 0x5A, 0x00, 0x1C, 0x5A, 0x1C, 0x0E,
                         0x34 ^ 0x01 ^ 0x5A ^ 0x1C ^ 0x5A ^ 0x1C ^ 0x0E}));
}

TEST(SimSelectors, RomNamesBothWays) {
  EXPECT_EQ(RomFileNameForSelector(Text("0")), "TRM-0.jd0");
  EXPECT_EQ(RomFileNameForSelector(Text("M")), "TRM-M.jd0");
  EXPECT_EQ(RomFileNameForSelector(Text("Mrom")), "TRM-M.rom");
  EXPECT_EQ(RomFileNameForSelector(B({'q', 0x1C, 'y', '1', '2', '3'})), "qimod123.rom");
  EXPECT_EQ(RomFileNameForSelector(Text("A")), std::nullopt);
  // The extension is whatever follows in the frame: here 'a', the trailer and the LRC.
  EXPECT_EQ(RomFileNameForSelector(Text("5a")),
            "TRM-5.a\x0E"
            "k");
  EXPECT_EQ(RomSelectorForName("TRM-5.jd0"), Text("5"));
  EXPECT_EQ(RomSelectorForName("TRM-M.rom"), Text("Mrom"));
  EXPECT_EQ(RomSelectorForName("qimod042.rom"), B({'q', 0x1C, '0', '0', '4', '2'}));
  EXPECT_EQ(RomSelectorForName("TRM-A.jd0"), std::nullopt);
  EXPECT_EQ(RomSelectorForName("other.rom"), std::nullopt);
}

TEST(SimSelectors, BllNamesAndForms) {
  EXPECT_EQ(BllFileName(BllForm::Mca, "001"), "MCA001.bll");
  EXPECT_EQ(BllFileName(BllForm::B, "002"), "MCA002.bll");
  EXPECT_EQ(BllFileName(BllForm::C, "003"), "SUB003.bll");
  EXPECT_EQ(BllBlockSize(BllForm::C), 128);
  EXPECT_EQ(BllBlockSize(BllForm::B), 256);
  const auto mca = BllRequestForName("MCA001.bll");
  ASSERT_TRUE(mca);
  EXPECT_EQ(mca->first, BllForm::Mca);
  EXPECT_EQ(mca->second, "001");
  EXPECT_EQ(BllRequestForName("MCA001.bll", true)->first, BllForm::B);
  EXPECT_EQ(BllRequestForName("SUB777.bll")->first, BllForm::C);
  EXPECT_EQ(BllRequestForName("XYZ001.bll"), std::nullopt);
}

TEST(SimHex, FormatsAndParses) {
  EXPECT_EQ(Hex(B({0x0F, 0x31, 0xA0})), "0F 31 A0");
  EXPECT_EQ(Hex(B({1, 2, 3}), 2), "01 02 ... (3 bytes)");
  EXPECT_EQ(ParseHex("4d 72:6F6d"), B({0x4D, 0x72, 0x6F, 0x6D}));
  EXPECT_EQ(ParseHex("4"), std::nullopt);
  EXPECT_EQ(ParseHex("zz"), std::nullopt);
}
