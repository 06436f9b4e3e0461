// When received bytes hold a whole frame: trailer + LRC, and the length each command needs.
#include "download/FrameCompleteness.h"

#include "support/TestBytes.h"

#include <gtest/gtest.h>

using testbytes::Bytes;
using testbytes::Cat;
using testbytes::WithLrc;

namespace {
std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& v, std::size_t n) {
  return testbytes::Slice(v, 0, n);
}
}  // namespace

TEST(FrameCompleteness, EveryTerminalFrameIsCompleteOnlyWhenWhole) {
  const std::vector<std::vector<std::uint8_t>> frames = {
      WithLrc({0x0F, 0x31, 0x30, 0x0E}),                                // TRM-0.jd0
      WithLrc({0x0F, 0x31, 0x4D, 0x72, 0x6F, 0x6D, 0x0E}),              // TRM-M.rom
      WithLrc({0x0F, 0x31, 0x41, 0x1C, 0x79, 0x31, 0x32, 0x33, 0x0E}),  // qimod123.rom
      WithLrc({0x0F, 0x33, 0x0E}),                                      // begin
      WithLrc({0x0F, 0x37, 0x00, 0x01, 0x06, 0x0E}),                    // next, ACK
      WithLrc({0x0F, 0x36, 0x0E}),                                      // terminal error
      WithLrc({0x0F, 0x06, 0x0E}),                                      // done
      WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03}),  // MCA001.bll
      WithLrc({0x02, 0x31, 0x42, 0x1C, 0x30, 0x30, 0x31, 0x03}),        // B request
      WithLrc({0x02, 0x33, 0x03}),                                      // begin
      WithLrc({0x02, 0x35, 0x00, 0x00, 0x06, 0x03}),                    // next, ACK
  };
  for (const auto& f : frames) {
    SCOPED_TRACE(testbytes::Hex(f));
    EXPECT_EQ(ClassifyReceived(f), ReceivedFrame::Complete);
    for (std::size_t n = 1; n < f.size(); ++n) {
      EXPECT_EQ(ClassifyReceived(Head(f, n)), ReceivedFrame::Incomplete) << n;
    }
  }
}

TEST(FrameCompleteness, GarbageBeforeAndBytesAfterAFrame) {
  const auto frame = WithLrc({0x0F, 0x33, 0x0E});
  EXPECT_EQ(ClassifyReceived(Bytes({'A', 'T', 0x0D, 0x0A})), ReceivedFrame::None);
  EXPECT_EQ(ClassifyReceived({}), ReceivedFrame::None);
  EXPECT_EQ(ClassifyReceived(Cat({Bytes({0x41, 0x0D, 0xFF}), frame})), ReceivedFrame::Complete);
  // Two frames in one read: the first is complete, the whole read goes as one batch.
  EXPECT_EQ(ClassifyReceived(Cat({frame, WithLrc({0x0F, 0x37, 0, 0, 0x06, 0x0E})})),
            ReceivedFrame::Complete);
  // Only the first start byte counts, as in the dispatch.
  EXPECT_EQ(ClassifyReceived(Cat({Bytes({0x02, 0x33}), frame})), ReceivedFrame::Incomplete);
  // Wrong LRC: not complete, however long.
  EXPECT_EQ(ClassifyReceived(Bytes({0x0F, 0x33, 0x0E, 0x00})), ReceivedFrame::Incomplete);
}

TEST(FrameCompleteness, EarlyTrailerAndLrcLookalikesDoNotEndAFrame) {
  // A "next" whose block number is 0E 39: 0F 37 0E 39 looks like trailer + LRC (37 ^ 0E = 39).
  const auto next = WithLrc({0x0F, 0x37, 0x0E, 0x39, 0x06, 0x0E});
  ASSERT_EQ(next.size(), 7u);
  EXPECT_EQ(ClassifyReceived(Head(next, 4)), ReceivedFrame::Incomplete);
  EXPECT_EQ(ClassifyReceived(Head(next, 5)), ReceivedFrame::Incomplete);
  EXPECT_EQ(ClassifyReceived(next), ReceivedFrame::Complete);
  // BLL "next" with 03 36 at offsets 2-3 (35 ^ 03 = 36).
  const auto bllNext = WithLrc({0x02, 0x35, 0x03, 0x36, 0x06, 0x03});
  EXPECT_EQ(ClassifyReceived(Head(bllNext, 4)), ReceivedFrame::Incomplete);
  EXPECT_EQ(ClassifyReceived(bllNext), ReceivedFrame::Complete);
  // An MCA request whose name bytes hold 03 + LRC after "MCA": the selector is not whole yet.
  const auto mca = WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x03, 0x00, 0x31, 0x03});
  EXPECT_EQ(ClassifyReceived(Head(mca, 7)), ReceivedFrame::Incomplete);
  EXPECT_EQ(ClassifyReceived(mca), ReceivedFrame::Complete);
}

TEST(FrameCompleteness, MinimumTrailerOffsets) {
  EXPECT_EQ(MinTrailerOffset(Bytes({0x0F, 0x33})), 2u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x0F, 0x37, 0, 0, 6})), 5u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x02, 0x35, 0, 0})), 5u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x0F, 0x31, 0x35})), 3u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x0F, 0x31, 0x35, 0x72})), 6u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x0F, 0x31, 0x41, 0x20})), SIZE_MAX);  // no 1C yet
  EXPECT_EQ(MinTrailerOffset(Bytes({0x0F, 0x31, 0x41, 0x1C})), 8u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x02, 0x31, 0x43, 0x1C})), 7u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x02, 0x31, 0x4D})), 8u);
  EXPECT_EQ(MinTrailerOffset(Bytes({0x02, 0x31, 0x58})), 3u);
}
