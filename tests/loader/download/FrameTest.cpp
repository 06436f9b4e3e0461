// Frame codec of the download protocol: LRC, checksums, trimming, fixed frames.
#include "download/Frame.h"

#include "support/TestBytes.h"

#include <gtest/gtest.h>

using testbytes::Bytes;
using testbytes::Hex;

TEST(Lrc, WorkedValues) {
  EXPECT_EQ(CalcLRC(Bytes({0x35, 0x0E})), 0x3B);
  EXPECT_EQ(CalcLRC(Bytes({0x36, 0x31, 0x31, 0x31, 0x31, 0x0E})), 0x38);
  EXPECT_EQ(CalcLRC(Bytes({0x36, 0x30, 0x30, 0x30, 0x30, 0x0E})), 0x38);
  EXPECT_EQ(CalcLRC(Bytes({0x37, 0x31, 0x31, 0x31, 0x03})), 0x05);
  EXPECT_EQ(CalcLRC({}), 0);
}

TEST(Lrc, FrameCheckCoversCommandThroughTrailer) {
  EXPECT_TRUE(LrcMatches(Bytes({0x0F, 0x31, 0x30, 0x0E, 0x0F})));
  EXPECT_TRUE(LrcMatches(Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C})));
  EXPECT_FALSE(LrcMatches(Bytes({0x0F, 0x31, 0x30, 0x0E, 0x0E})));
  // A good frame followed by more bytes fails.
  EXPECT_FALSE(LrcMatches(Bytes({0x0F, 0x31, 0x30, 0x0E, 0x0F, 0x0F, 0x33})));
  EXPECT_FALSE(LrcMatches(Bytes({0x0F})));
  EXPECT_FALSE(LrcMatches({}));
}

TEST(BlockChecksum, EvenBytesLowOddBytesHigh) {
  EXPECT_EQ(BlockChecksum(Bytes({0xAA, 0xBB, 0xCC})), 0xBB66);  // sent as 66 BB
  EXPECT_EQ(BlockChecksum(Bytes({0x5A})), 0x005A);
  EXPECT_EQ(BlockChecksum({}), 0);
  EXPECT_EQ(BlockChecksum(Bytes({0x01, 0x02, 0x04, 0x08})), 0x0A05);
}

TEST(FindFrameStart, TrimsToFirstStartByte) {
  auto buf = Bytes({0x41, 0x42, 0x0F, 0x31, 0x02});
  ASSERT_EQ(FindFrameStart(buf), 3u);
  EXPECT_EQ(Hex({buf.begin(), buf.begin() + 3}), "0F 31 02");

  auto bll = Bytes({0x00, 0x02, 0x33});
  ASSERT_EQ(FindFrameStart(bll), 2u);
  EXPECT_EQ(Hex({bll.begin(), bll.begin() + 2}), "02 33");

  auto already = Bytes({0x0F, 0x33, 0x3D});
  EXPECT_EQ(FindFrameStart(already), 3u);
  EXPECT_EQ(Hex(already), "0F 33 3D");

  auto none = Bytes({0x41, 0x03, 0x0E});
  EXPECT_EQ(FindFrameStart(none), 0u);
  std::vector<std::uint8_t> empty;
  EXPECT_EQ(FindFrameStart(empty), 0u);
}

TEST(FixedFrames, RejectEndAndTrigger) {
  EXPECT_EQ(Hex(RomEndFrame()), "0F 35 0E 3B");
  EXPECT_EQ(Hex(RomRejectFrame(RomReject::BadFrame)), "0F 36 31 31 31 31 0E 38");
  EXPECT_EQ(Hex(RomRejectFrame(RomReject::FileNotOpened)), "0F 36 30 30 30 30 0E 38");
  EXPECT_EQ(Hex(BllRejectFrame()), "02 37 31 31 31 03 05");
  EXPECT_EQ(Hex(BllEndFrame(2)), "02 36 00 02 00 02 03 35");
  EXPECT_EQ(Hex(TriggerFrame()), "02 20 21 22 23 03 86 FE");
}

TEST(FixedFrames, StartReplies) {
  EXPECT_EQ(Hex(BllStartReply(2, 256)), "02 32 00 02 01 00 03 32");
  EXPECT_EQ(Hex(BllStartReply(3, 128)), "02 32 00 03 00 80 03 B2");
  // N high byte first, checksum low byte first.
  EXPECT_EQ(Hex(RomStartReply(3, 0x6212)), "0F 32 00 03 12 62 0E 4F");
}

TEST(DataFrame, LayoutOfBothFamilies) {
  EXPECT_EQ(Hex(DataFrame(FrameFamily::Rom, 0x0102, Bytes({0xAA, 0xBB, 0xCC}), 0xBB66)),
            "0F 34 01 02 00 03 66 BB 1C AA BB CC 1C 0E 3A");
  EXPECT_EQ(Hex(DataFrame(FrameFamily::Bll, 0, {}, 0)), "02 34 00 00 00 00 00 00 1C 1C 03 37");
}
