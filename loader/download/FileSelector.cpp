// File selectors of the ROM and BLL requests.
#include "download/FileSelector.h"

#include "download/Frame.h"

#include <initializer_list>

namespace {
constexpr std::size_t kSelectorOffset = 2;

// Names are built in a zero-filled buffer: a zero byte ends the name there.
std::string NameFrom(std::initializer_list<std::uint8_t> bytes) {
  std::string name;
  for (std::uint8_t b : bytes) {
    if (b == 0) break;
    name.push_back(static_cast<char>(b));
  }
  return name;
}

// First 0x1C at offsets first..last of the frame (inclusive), if any.
std::optional<std::size_t> FindFs(std::span<const std::uint8_t> frame, std::size_t first,
                                  std::size_t last) {
  for (std::size_t i = first; i <= last && i < frame.size(); ++i) {
    if (frame[i] == kFs) return i;
  }
  return std::nullopt;
}

std::string WithZeroEnd(std::string prefix, std::initializer_list<std::uint8_t> variable,
                        std::string_view suffix) {
  for (std::uint8_t b : variable) {
    if (b == 0) return prefix;
    prefix.push_back(static_cast<char>(b));
  }
  return prefix + std::string(suffix);
}
}  // namespace

std::optional<std::string> RomRequestName(std::span<const std::uint8_t> frame) {
  const std::uint8_t t = ByteAt(frame, kSelectorOffset);
  if (t <= '9' || t == 'M') {
    if (t == 0) return std::string("TRM-");  // the zero ends the name
    std::string name = "TRM-";
    name.push_back(static_cast<char>(t));
    if (ByteAt(frame, 3) == kRomTrailer) return name + ".jd0";
    return name + "." + NameFrom({ByteAt(frame, 3), ByteAt(frame, 4), ByteAt(frame, 5)});
  }
  if (frame.size() <= kSelectorOffset) return std::nullopt;
  const auto fs = FindFs(frame, kSelectorOffset, frame.size() - 1);
  if (!fs) return std::nullopt;
  // The byte right after the 0x1C is skipped; the next three are the digits.
  return WithZeroEnd(
      "qimod", {ByteAt(frame, *fs + 2), ByteAt(frame, *fs + 3), ByteAt(frame, *fs + 4)}, ".rom");
}

bool IsBllRequest(std::span<const std::uint8_t> frame) {
  if (ByteAt(frame, 0) != kBllStart || ByteAt(frame, 1) != kCmdRequest) return false;
  const std::uint8_t t = ByteAt(frame, kSelectorOffset);
  const bool mca = t == 'M' && ByteAt(frame, 3) == 'C' && ByteAt(frame, 4) == 'A';
  return mca || t == 'B' || t == 'C';
}

std::optional<BllRequest> BllRequestFile(std::span<const std::uint8_t> frame) {
  const std::uint8_t t = ByteAt(frame, kSelectorOffset);
  if (t == 'M') {
    return BllRequest{
        WithZeroEnd("MCA", {ByteAt(frame, 5), ByteAt(frame, 6), ByteAt(frame, 7)}, ".bll"),
        kBllBlockSize};
  }
  // The 0x1C must lie at offsets 2..n-3.
  if (frame.size() < 5) return std::nullopt;
  const auto fs = FindFs(frame, kSelectorOffset, frame.size() - 3);
  if (!fs) return std::nullopt;
  const std::initializer_list<std::uint8_t> digits = {
      ByteAt(frame, *fs + 1), ByteAt(frame, *fs + 2), ByteAt(frame, *fs + 3)};
  if (t == 'C') return BllRequest{WithZeroEnd("SUB", digits, ".bll"), kBllSubBlockSize};
  return BllRequest{WithZeroEnd("MCA", digits, ".bll"), kBllBlockSize};
}
