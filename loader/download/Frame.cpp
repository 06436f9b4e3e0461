// Frame codec of the terminal download protocol.
#include "download/Frame.h"

#include <algorithm>

namespace {
std::uint8_t High(int v) {
  return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
std::uint8_t Low(int v) {
  return static_cast<std::uint8_t>(v & 0xFF);
}

// Appends the LRC of everything after the start byte.
Frame& CloseFrame(Frame& f) {
  f.push_back(CalcLRC(std::span<const std::uint8_t>(f).subspan(1)));
  return f;
}
}  // namespace

std::uint8_t CalcLRC(std::span<const std::uint8_t> data) {
  std::uint8_t lrc = 0;
  for (std::uint8_t b : data) lrc ^= b;
  return lrc;
}

std::uint16_t BlockChecksum(std::span<const std::uint8_t> data) {
  std::uint8_t low = 0, high = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i % 2 == 0) {
      low ^= data[i];
    } else {
      high ^= data[i];
    }
  }
  return static_cast<std::uint16_t>(low | (high << 8));
}

bool LrcMatches(std::span<const std::uint8_t> frame) {
  if (frame.size() < 2) return false;
  return CalcLRC(frame.subspan(1, frame.size() - 2)) == frame.back();
}

std::size_t FindFrameStart(std::span<std::uint8_t> buf) {
  const auto it = std::find_if(buf.begin(), buf.end(),
                               [](std::uint8_t b) { return b == kRomStart || b == kBllStart; });
  if (it == buf.end()) return 0;
  const auto skip = static_cast<std::size_t>(it - buf.begin());
  if (skip > 0) std::copy(it, buf.end(), buf.begin());
  return buf.size() - skip;
}

Frame RomRejectFrame(RomReject why) {
  const std::uint8_t r = why == RomReject::BadFrame ? '1' : '0';
  Frame f = {kRomStart, kCmdRomReject, r, r, r, r, kRomTrailer};
  return CloseFrame(f);
}

Frame RomEndFrame() {
  Frame f = {kRomStart, kCmdRomEnd, kRomTrailer};
  return CloseFrame(f);
}

Frame RomStartReply(int packetCount, std::uint16_t imageChecksum) {
  Frame f = {kRomStart,          kCmdStartReply,      High(packetCount), Low(packetCount),
             Low(imageChecksum), High(imageChecksum), kRomTrailer};
  return CloseFrame(f);
}

Frame BllRejectFrame() {
  Frame f = {kBllStart, kCmdBllReject, '1', '1', '1', kBllTrailer};
  return CloseFrame(f);
}

Frame BllEndFrame(int packetCount) {
  Frame f = {kBllStart,         kCmdBllEnd,       High(packetCount), Low(packetCount),
             High(packetCount), Low(packetCount), kBllTrailer};
  return CloseFrame(f);
}

Frame BllStartReply(int packetCount, int blockSize) {
  Frame f = {kBllStart,       kCmdStartReply, High(packetCount), Low(packetCount),
             High(blockSize), Low(blockSize), kBllTrailer};
  return CloseFrame(f);
}

Frame DataFrame(FrameFamily family, int packetNo, std::span<const std::uint8_t> data,
                std::uint16_t checksum) {
  Frame f(data.size() + kDataFrameOverhead);
  std::copy(data.begin(), data.end(), f.begin() + static_cast<std::ptrdiff_t>(kDataOffset));
  SealDataFrame(family, packetNo, f);
  // The caller's checksum goes out as given, even one that does not fit the data.
  f[6] = Low(checksum);
  f[7] = High(checksum);
  f.back() = CalcLRC(std::span<const std::uint8_t>(f).subspan(1, f.size() - 2));
  return f;
}

void SealDataFrame(FrameFamily family, int packetNo, Frame& frame) {
  const bool rom = family == FrameFamily::Rom;
  const std::size_t len = frame.size() - kDataFrameOverhead;
  const std::span<const std::uint8_t> data(frame.data() + kDataOffset, len);
  const std::uint16_t checksum = BlockChecksum(data);
  const int length = static_cast<int>(len);
  const std::uint8_t header[kDataOffset] = {rom ? kRomStart : kBllStart,
                                            kCmdData,
                                            High(packetNo),
                                            Low(packetNo),
                                            High(length),
                                            Low(length),
                                            Low(checksum),
                                            High(checksum),
                                            kFs};
  std::copy(std::begin(header), std::end(header), frame.begin());
  frame[kDataOffset + len] = kFs;
  frame[kDataOffset + len + 1] = rom ? kRomTrailer : kBllTrailer;
  frame[kDataOffset + len + 2] =
      CalcLRC(std::span<const std::uint8_t>(frame).subspan(1, frame.size() - 2));
}

Frame TriggerFrame() {
  // Eight fixed bytes that follow no LRC rule; don't "fix" them.
  return {0x02, 0x20, 0x21, 0x22, 0x23, 0x03, 0x86, 0xFE};
}
