// Which image a ROM or BLL request asks for.
#include "download/FileSelector.h"

#include "support/TestBytes.h"

#include <gtest/gtest.h>

using testbytes::Bytes;
using testbytes::WithLrc;

TEST(RomSelector, DigitOrMWithTrailerGivesJd0) {
  EXPECT_EQ(RomRequestName(Bytes({0x0F, 0x31, 0x30, 0x0E, 0x0F})), "TRM-0.jd0");
  EXPECT_EQ(RomRequestName(Bytes({0x0F, 0x31, 0x4D, 0x0E, 0x72})), "TRM-M.jd0");
  EXPECT_EQ(RomRequestName(WithLrc({0x0F, 0x31, 0x35, 0x0E})), "TRM-5.jd0");
}

TEST(RomSelector, DigitOrMWithExtension) {
  EXPECT_EQ(RomRequestName(Bytes({0x0F, 0x31, 0x4D, 0x72, 0x6F, 0x6D, 0x0E, 0x02})), "TRM-M.rom");
  // Selector bytes past the end of the frame count as zero and end the name.
  EXPECT_EQ(RomRequestName(Bytes({0x0F, 0x31, 0x37, 0x61})), "TRM-7.a");
  // A zero selector byte ends the name.
  EXPECT_EQ(RomRequestName(Bytes({0x0F, 0x31, 0x00, 0x0E, 0x31})), "TRM-");
  EXPECT_EQ(RomRequestName(Bytes({0x0F, 0x31, 0x31, 0x62, 0x00, 0x63, 0x0E, 0x00})), "TRM-1.b");
}

TEST(RomSelector, OtherSelectorUsesDigitsAfterFs) {
  // The byte right after the 0x1C is skipped.
  EXPECT_EQ(RomRequestName(WithLrc({0x0F, 0x31, 0x41, 0x1C, 0x79, 0x31, 0x32, 0x33, 0x0E})),
            "qimod123.rom");
  // The first 0x1C counts, even when a second one follows.
  EXPECT_EQ(RomRequestName(WithLrc({0x0F, 0x31, 0x5A, 0x1C, 0x1C, 0x34, 0x35, 0x36, 0x0E})),
            "qimod456.rom");
  EXPECT_EQ(RomRequestName(WithLrc({0x0F, 0x31, 0x41, 0x0E})), std::nullopt);
  EXPECT_EQ(RomRequestName(Bytes({0x0F, 0x31})), "TRM-");  // t beyond the end counts as zero
}

TEST(BllSelector, RequestKinds) {
  EXPECT_TRUE(IsBllRequest(Bytes({0x02, 0x31, 0x4D, 0x43, 0x41})));
  EXPECT_TRUE(IsBllRequest(Bytes({0x02, 0x31, 0x42})));
  EXPECT_TRUE(IsBllRequest(Bytes({0x02, 0x31, 0x43})));
  EXPECT_FALSE(IsBllRequest(Bytes({0x02, 0x31, 0x4D, 0x43})));
  EXPECT_FALSE(IsBllRequest(Bytes({0x02, 0x31, 0x44, 0x1C})));
  EXPECT_FALSE(IsBllRequest(Bytes({0x02, 0x33, 0x42})));
  EXPECT_FALSE(IsBllRequest(Bytes({0x0F, 0x31, 0x42})));
}

TEST(BllSelector, NamesAndBlockSizes) {
  auto mca = BllRequestFile(Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C}));
  ASSERT_TRUE(mca);
  EXPECT_EQ(mca->name, "MCA001.bll");
  EXPECT_EQ(mca->blockSize, 256);

  auto b = BllRequestFile(WithLrc({0x02, 0x31, 0x42, 0x1C, 0x30, 0x30, 0x31, 0x03}));
  ASSERT_TRUE(b);
  EXPECT_EQ(b->name, "MCA001.bll");
  EXPECT_EQ(b->blockSize, 256);

  auto c = BllRequestFile(WithLrc({0x02, 0x31, 0x43, 0x39, 0x1C, 0x37, 0x38, 0x39, 0x03}));
  ASSERT_TRUE(c);
  EXPECT_EQ(c->name, "SUB789.bll");
  EXPECT_EQ(c->blockSize, 128);

  // The digits are the bytes right after the 0x1C; past the end they are zero.
  auto shortB = BllRequestFile(Bytes({0x02, 0x31, 0x42, 0x1C, 0x35, 0x36}));
  ASSERT_TRUE(shortB);
  EXPECT_EQ(shortB->name, "MCA56");
}

TEST(BllSelector, FsMustLieAtOffsetsTwoToNMinusThree) {
  // The only 0x1C is the last byte before the LRC (offset n-2): refused.
  EXPECT_EQ(BllRequestFile(Bytes({0x02, 0x31, 0x42, 0x30, 0x30, 0x31, 0x1C, 0x5C})), std::nullopt);
  // At n-3 it still counts.
  EXPECT_TRUE(BllRequestFile(Bytes({0x02, 0x31, 0x42, 0x30, 0x1C, 0x03, 0x00})));
  EXPECT_EQ(BllRequestFile(Bytes({0x02, 0x31, 0x43, 0x30, 0x31, 0x03, 0x00})), std::nullopt);
  EXPECT_EQ(BllRequestFile(Bytes({0x02, 0x31, 0x43})), std::nullopt);
}
