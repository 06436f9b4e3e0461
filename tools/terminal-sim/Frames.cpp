// Frame building, expected replies and file-name selectors of the terminal side.
#include "Frames.h"

#include <algorithm>
#include <array>

namespace termsim {
namespace {

constexpr std::uint8_t kCmdRequest = '1';
constexpr std::uint8_t kCmdStart = '2';
constexpr std::uint8_t kCmdBegin = '3';
constexpr std::uint8_t kCmdData = '4';
constexpr std::uint8_t kCmdRomEnd = '5';
constexpr std::uint8_t kCmdBllNext = '5';
constexpr std::uint8_t kCmdRomReject = '6';
constexpr std::uint8_t kCmdBllEnd = '6';
constexpr std::uint8_t kCmdRomNext = '7';
constexpr std::uint8_t kCmdBllReject = '7';
constexpr std::size_t kNameBufferSize = 50;

std::uint8_t StartOf(Family family) {
  return family == Family::Rom ? kRomStart : kBllStart;
}
std::uint8_t TrailerOf(Family family) {
  return family == Family::Rom ? kRomTrailer : kBllTrailer;
}
std::uint8_t High(std::size_t v) {
  return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
std::uint8_t Low(std::size_t v) {
  return static_cast<std::uint8_t>(v & 0xFF);
}

Bytes FromText(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

/// The byte at offset of a frame, 0 beyond its end (as the loader's zero-filled buffers read).
std::uint8_t At(std::span<const std::uint8_t> frame, std::size_t offset) {
  return offset < frame.size() ? frame[offset] : 0;
}

/// Appends bytes to a name the way a zero-filled C buffer would hold them:
/// the first zero byte ends the name.
struct NameBuilder {
  std::string name;
  bool ended = false;
  void Add(std::uint8_t c) {
    if (ended || c == 0) {
      ended = true;
      return;
    }
    if (name.size() < kNameBufferSize - 1) name.push_back(static_cast<char>(c));
  }
  void Add(std::string_view s) {
    for (char c : s) Add(static_cast<std::uint8_t>(c));
  }
};

}  // namespace

std::uint8_t Lrc(std::span<const std::uint8_t> bytes) {
  std::uint8_t lrc = 0;
  for (std::uint8_t b : bytes) lrc ^= b;
  return lrc;
}

std::uint16_t BlockChecksum(std::span<const std::uint8_t> data) {
  std::uint8_t lo = 0;
  std::uint8_t hi = 0;
  for (std::size_t i = 0; i < data.size(); ++i) (i % 2 == 0 ? lo : hi) ^= data[i];
  return static_cast<std::uint16_t>(lo | (hi << 8));
}

std::uint16_t ImageChecksum(std::span<const std::uint8_t> image) {
  const std::size_t wholeWords = image.size() / 2;
  const std::size_t wordsRead = (wholeWords + 1) / 2;
  std::size_t bytes = wordsRead * 2;
  if (image.size() % 2 != 0) ++bytes;  // the odd byte right after the words read
  return BlockChecksum(image.first(bytes));
}

std::size_t BlockCount(std::size_t size, std::size_t blockSize) {
  return blockSize == 0 ? 0 : (size + blockSize - 1) / blockSize;
}

Bytes Frame(Family family, std::uint8_t command, std::span<const std::uint8_t> body) {
  Bytes frame;
  frame.reserve(body.size() + 4);
  frame.push_back(StartOf(family));
  frame.push_back(command);
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(TrailerOf(family));
  frame.push_back(Lrc(std::span(frame).subspan(1)));
  return frame;
}

Bytes WithBadLrc(Bytes frame) {
  if (!frame.empty()) frame.back() = static_cast<std::uint8_t>(~frame.back());
  return frame;
}

Bytes RomRequest(std::span<const std::uint8_t> selector) {
  return Frame(Family::Rom, kCmdRequest, selector);
}
Bytes RomBegin() {
  return Frame(Family::Rom, kCmdBegin, {});
}
Bytes RomNext(int blockNo, std::uint8_t verdict) {
  const auto no = static_cast<std::size_t>(blockNo);
  const std::array<std::uint8_t, 3> body = {High(no), Low(no), verdict};
  return Frame(Family::Rom, kCmdRomNext, body);
}
Bytes RomTerminalError() {
  return Frame(Family::Rom, kCmdRomReject, {});
}
Bytes RomDone() {
  return Frame(Family::Rom, kAck, {});
}

Bytes BllRequest(BllForm form, std::string_view digits) {
  Bytes body;
  switch (form) {
    case BllForm::Mca:
      body = FromText("MCA");
      break;
    case BllForm::B:
      body = {'B', kFs};
      break;
    case BllForm::C:
      body = {'C', kFs};
      break;
  }
  body.insert(body.end(), digits.begin(), digits.end());
  return Frame(Family::Bll, kCmdRequest, body);
}
Bytes BllBegin() {
  return Frame(Family::Bll, kCmdBegin, {});
}
Bytes BllNext(int blockNo, std::uint8_t verdict) {
  const auto no = static_cast<std::size_t>(blockNo);
  const std::array<std::uint8_t, 3> body = {High(no), Low(no), verdict};
  return Frame(Family::Bll, kCmdBllNext, body);
}
Bytes BllTerminalError() {
  return Frame(Family::Bll, kCmdBllReject, {});
}

Bytes RomStartReply(std::span<const std::uint8_t> image, int blockSize) {
  const std::size_t n = BlockCount(image.size(), static_cast<std::size_t>(blockSize));
  const std::uint16_t x = ImageChecksum(image);
  const std::array<std::uint8_t, 4> body = {High(n), Low(n), Low(x), High(x)};
  return Frame(Family::Rom, kCmdStart, body);
}

Bytes BllStartReply(std::size_t imageSize, int blockSize) {
  const auto b = static_cast<std::size_t>(blockSize);
  const std::size_t n = BlockCount(imageSize, b);
  const std::array<std::uint8_t, 4> body = {High(n), Low(n), High(b), Low(b)};
  return Frame(Family::Bll, kCmdStart, body);
}

Bytes DataReply(Family family, std::span<const std::uint8_t> image, int blockSize, int blockNo) {
  const auto size = static_cast<std::size_t>(blockSize);
  const std::size_t offset = static_cast<std::size_t>(blockNo) * size;
  const std::span<const std::uint8_t> data =
      offset >= image.size() ? std::span<const std::uint8_t>()
                             : image.subspan(offset, std::min(size, image.size() - offset));
  const std::uint16_t sum = BlockChecksum(data);
  Bytes body = {High(static_cast<std::size_t>(blockNo)),
                Low(static_cast<std::size_t>(blockNo)),
                High(data.size()),
                Low(data.size()),
                Low(sum),
                High(sum),
                kFs};
  body.insert(body.end(), data.begin(), data.end());
  body.push_back(kFs);
  return Frame(family, kCmdData, body);
}

Bytes RomEndReply() {
  return Frame(Family::Rom, kCmdRomEnd, {});
}

Bytes BllEndReply(std::size_t blockCount) {
  const std::array<std::uint8_t, 4> body = {High(blockCount), Low(blockCount), High(blockCount),
                                            Low(blockCount)};
  return Frame(Family::Bll, kCmdBllEnd, body);
}

Bytes RomRejectReply(bool fileMissing) {
  const std::uint8_t r = fileMissing ? '0' : '1';
  const std::array<std::uint8_t, 4> body = {r, r, r, r};
  return Frame(Family::Rom, kCmdRomReject, body);
}

Bytes BllRejectReply() {
  const std::array<std::uint8_t, 3> body = {'1', '1', '1'};
  return Frame(Family::Bll, kCmdBllReject, body);
}

std::optional<std::string> RomFileNameForSelector(std::span<const std::uint8_t> selector) {
  const Bytes frame = RomRequest(selector);
  const std::uint8_t t = At(frame, 2);
  NameBuilder name;
  if (t <= '9' || t == 'M') {
    name.Add("TRM-");
    name.Add(t);
    if (At(frame, 3) == kRomTrailer) {
      name.Add(".jd0");
    } else {
      name.Add('.');
      for (std::size_t i = 3; i <= 5; ++i) name.Add(At(frame, i));
    }
    return name.name;
  }
  const auto fs = std::find(frame.begin() + 2, frame.end(), kFs);
  if (fs == frame.end()) return std::nullopt;
  const auto pos = static_cast<std::size_t>(fs - frame.begin());
  name.Add("qimod");
  for (std::size_t i = 2; i <= 4; ++i) name.Add(At(frame, pos + i));
  name.Add(".rom");
  return name.name;
}

std::optional<Bytes> RomSelectorForName(std::string_view name) {
  Bytes selector;
  if (name.size() == 9 && name.starts_with("TRM-") && name[5] == '.') {
    selector.push_back(static_cast<std::uint8_t>(name[4]));
    if (name.substr(6) != "jd0") {
      selector.insert(selector.end(), name.begin() + 6, name.end());
    }
  } else if (name.size() == 12 && name.starts_with("qimod") && name.ends_with(".rom")) {
    selector = {'q', kFs, '0'};
    selector.insert(selector.end(), name.begin() + 5, name.begin() + 8);
  } else {
    return std::nullopt;
  }
  // Only names the loader derives back from this very selector can be requested.
  if (RomFileNameForSelector(selector) != std::string(name)) return std::nullopt;
  return selector;
}

std::string BllFileName(BllForm form, std::string_view digits) {
  NameBuilder name;
  name.Add(form == BllForm::C ? "SUB" : "MCA");
  for (std::size_t i = 0; i < 3; ++i) {
    name.Add(i < digits.size() ? static_cast<std::uint8_t>(digits[i]) : std::uint8_t{0});
  }
  name.Add(".bll");
  return name.name;
}

int BllBlockSize(BllForm form) {
  return form == BllForm::C ? kBllSubBlockSize : kBllBlockSize;
}

std::optional<std::pair<BllForm, std::string>> BllRequestForName(std::string_view name,
                                                                 bool preferB) {
  if (name.size() != 10 || !name.ends_with(".bll")) return std::nullopt;
  const std::string digits(name.substr(3, 3));
  if (digits.find('\0') != std::string::npos) return std::nullopt;
  if (name.starts_with("MCA")) return std::pair{preferB ? BllForm::B : BllForm::Mca, digits};
  if (name.starts_with("SUB")) return std::pair{BllForm::C, digits};
  return std::nullopt;
}

std::string Hex(std::span<const std::uint8_t> bytes, std::size_t maxBytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  const std::size_t shown = std::min(bytes.size(), maxBytes);
  for (std::size_t i = 0; i < shown; ++i) {
    if (i != 0) out.push_back(' ');
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 0x0F]);
  }
  if (shown < bytes.size()) out += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

std::optional<Bytes> ParseHex(std::string_view text) {
  Bytes out;
  int pending = -1;
  for (char c : text) {
    if (c == ' ' || c == ',' || c == ':') continue;
    int v = -1;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'a' && c <= 'f')
      v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    if (v < 0) return std::nullopt;
    if (pending < 0) {
      pending = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(pending * 16 + v));
      pending = -1;
    }
  }
  if (pending >= 0) return std::nullopt;
  return out;
}

}  // namespace termsim
