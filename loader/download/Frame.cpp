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
  const bool rom = family == FrameFamily::Rom;
  const int len = static_cast<int>(data.size());
  Frame f;
  f.reserve(data.size() + 12);
  f = {rom ? kRomStart : kBllStart,
       kCmdData,
       High(packetNo),
       Low(packetNo),
       High(len),
       Low(len),
       Low(checksum),
       High(checksum),
       kFs};
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(kFs);
  f.push_back(rom ? kRomTrailer : kBllTrailer);
  return CloseFrame(f);
}

Frame TriggerFrame() {
  // Eight fixed bytes that follow no LRC rule; don't "fix" them.
  return {0x02, 0x20, 0x21, 0x22, 0x23, 0x03, 0x86, 0xFE};
}
