// Frame completeness of received bytes: trailer, LRC and the length each command needs.
#include "download/FrameCompleteness.h"

#include "download/Frame.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {
constexpr std::size_t kCmdOffset = 1;
constexpr std::size_t kSelectorOffset = 2;
constexpr std::size_t kMinTrailer = 2;  // start and command byte come first
constexpr std::size_t kNoTrailerYet = SIZE_MAX;
constexpr std::size_t kSelectorDigits = 3;  // the three name bytes of a selector

// Offset of the first 0x1C at kSelectorOffset or later, if head holds one.
std::size_t FirstFs(std::span<const std::uint8_t> head) {
  const auto from =
      head.begin() + static_cast<std::ptrdiff_t>(std::min(kSelectorOffset, head.size()));
  const auto it = std::find(from, head.end(), kFs);
  return it == head.end() ? kNoTrailerYet : static_cast<std::size_t>(it - head.begin());
}

std::size_t RomRequestNeeds(std::span<const std::uint8_t> head) {
  if (head.size() <= kSelectorOffset) return kSelectorOffset + 1;
  const std::uint8_t t = head[kSelectorOffset];
  if (t <= '9' || t == 'M') {
    // "t 0E" names TRM-t.jd0 (that 0E may be the trailer); otherwise three name bytes follow t.
    const std::size_t after = kSelectorOffset + 1;
    if (head.size() == after || head[after] == kRomTrailer) return after;
    return after + kSelectorDigits;
  }
  // qimod: 1C, one skipped byte, three digits.
  const std::size_t fs = FirstFs(head);
  return fs == kNoTrailerYet ? kNoTrailerYet : fs + 2 + kSelectorDigits;
}

std::size_t BllRequestNeeds(std::span<const std::uint8_t> head) {
  const std::uint8_t t = ByteAt(head, kSelectorOffset);
  if (t == 'M') return kSelectorOffset + 3 + kSelectorDigits;  // "MCA" and three bytes
  if (t == 'B' || t == 'C') {
    const std::size_t fs = FirstFs(head);
    return fs == kNoTrailerYet ? kNoTrailerYet : fs + 1 + kSelectorDigits;
  }
  return kSelectorOffset + 1;
}
}  // namespace

std::size_t MinTrailerOffset(std::span<const std::uint8_t> head) {
  if (head.size() <= kCmdOffset) return kMinTrailer;
  const bool rom = head[0] == kRomStart;
  const std::uint8_t cmd = head[kCmdOffset];
  if (cmd == kCmdRequest) return rom ? RomRequestNeeds(head) : BllRequestNeeds(head);
  if (cmd == (rom ? kCmdRomNext : kCmdBllNext)) return kVerdictOffset + 1;
  return kMinTrailer;
}

ReceivedFrame ClassifyReceived(std::span<const std::uint8_t> held) {
  const auto start = std::find_if(held.begin(), held.end(),
                                  [](std::uint8_t b) { return b == kRomStart || b == kBllStart; });
  if (start == held.end()) return ReceivedFrame::None;
  const std::span<const std::uint8_t> frame(start, held.end());
  const std::uint8_t trailer = frame[0] == kRomStart ? kRomTrailer : kBllTrailer;
  std::uint8_t lrc = 0;  // XOR of offsets 1..i
  for (std::size_t i = kCmdOffset; i + 1 < frame.size(); ++i) {
    lrc ^= frame[i];
    if (i < kMinTrailer || frame[i] != trailer || frame[i + 1] != lrc) continue;
    if (i >= MinTrailerOffset(frame.first(i))) return ReceivedFrame::Complete;
  }
  return ReceivedFrame::Incomplete;
}
