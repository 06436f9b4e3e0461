// The terminal's side of the download protocol: the frames a terminal sends,
// and the exact replies it must get back for a given image, built independently
// of the loader so that the two can be checked against each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace termsim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kRomStart = 0x0F;    // SI
inline constexpr std::uint8_t kRomTrailer = 0x0E;  // SO
inline constexpr std::uint8_t kBllStart = 0x02;    // STX
inline constexpr std::uint8_t kBllTrailer = 0x03;  // ETX
inline constexpr std::uint8_t kFs = 0x1C;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kEnq = 0x05;

inline constexpr int kRomBlockSize = 2048;
inline constexpr int kRomModemBlockSize = 1024;
inline constexpr int kBllBlockSize = 256;
inline constexpr int kBllSubBlockSize = 128;

enum class Family { Rom, Bll };

/// XOR of the bytes (0 for none).
std::uint8_t Lrc(std::span<const std::uint8_t> bytes);
/// XOR of the data as little-endian 16-bit words, an odd last byte as a word with high byte 0.
std::uint16_t BlockChecksum(std::span<const std::uint8_t> data);
/// The ROM start reply's checksum: only the first ceil(W/2) of the image's W whole
/// words, then the byte after them when the size is odd.
std::uint16_t ImageChecksum(std::span<const std::uint8_t> image);
/// ceil(size / blockSize); 0 for an empty image.
std::size_t BlockCount(std::size_t size, std::size_t blockSize);

/// A frame: start byte, command, body, trailer, LRC over command..trailer.
Bytes Frame(Family family, std::uint8_t command, std::span<const std::uint8_t> body);
/// The same frame with its LRC byte inverted (a frame that must fail the check).
Bytes WithBadLrc(Bytes frame);

// ---- frames the terminal sends ----
/// ROM request 0F 31 <selector> 0E LRC.
Bytes RomRequest(std::span<const std::uint8_t> selector);
/// ROM begin 0F 33 0E LRC.
Bytes RomBegin();
/// ROM next 0F 37 Ph Pl verdict 0E LRC (the block number fills the unread bytes).
Bytes RomNext(int blockNo, std::uint8_t verdict);
/// ROM terminal error 0F 36 0E LRC.
Bytes RomTerminalError();
/// ROM done 0F 06 0E LRC.
Bytes RomDone();

/// Kinds of BLL request.
enum class BllForm { Mca, B, C };
/// BLL request 02 31 <selector> 03 LRC for a form and its three name bytes:
/// Mca: "MCA" + digits; B / C: the letter, 0x1C, digits.
Bytes BllRequest(BllForm form, std::string_view digits);
/// BLL begin 02 33 03 LRC.
Bytes BllBegin();
/// BLL next 02 35 Ph Pl verdict 03 LRC.
Bytes BllNext(int blockNo, std::uint8_t verdict);
/// BLL terminal error 02 37 03 LRC.
Bytes BllTerminalError();

// ---- replies the loader must send ----
/// 0F 32 Nh Nl Xl Xh 0E LRC.
Bytes RomStartReply(std::span<const std::uint8_t> image, int blockSize);
/// 02 32 Nh Nl Bh Bl 03 LRC.
Bytes BllStartReply(std::size_t imageSize, int blockSize);
/// Data frame of block blockNo of the image (start 34 Ph Pl Lh Ll Cl Ch 1C data 1C trailer LRC).
Bytes DataReply(Family family, std::span<const std::uint8_t> image, int blockSize, int blockNo);
/// ROM end 0F 35 0E 3B.
Bytes RomEndReply();
/// BLL end 02 36 Nh Nl Nh Nl 03 LRC.
Bytes BllEndReply(std::size_t blockCount);
/// ROM reject: "1111" for a bad frame, "0000" for a file that cannot be opened.
Bytes RomRejectReply(bool fileMissing);
/// BLL reject 02 37 31 31 31 03 05.
Bytes BllRejectReply();

// ---- file names and selectors ----
/// The file a ROM selector asks for ("TRM-5.jd0", "qimod123.rom"); nothing when the
/// loader would refuse the request (a needed 0x1C missing).
std::optional<std::string> RomFileNameForSelector(std::span<const std::uint8_t> selector);
/// A selector that asks for name: "TRM-<t>.jd0" and "TRM-<t>.<ext3>" for t <= '9' or
/// t = 'M', "qimod<ddd>.rom"; nothing for any other name.
std::optional<Bytes> RomSelectorForName(std::string_view name);
/// The file and block size of a BLL request form.
std::string BllFileName(BllForm form, std::string_view digits);
int BllBlockSize(BllForm form);
/// Form and digits for "MCAddd.bll" (form Mca unless preferB) or "SUBddd.bll" (form C).
std::optional<std::pair<BllForm, std::string>> BllRequestForName(std::string_view name,
                                                                 bool preferB = false);

/// Bytes as "0F 31 30 ..." (at most maxBytes shown, then "... (n bytes)").
std::string Hex(std::span<const std::uint8_t> bytes, std::size_t maxBytes = 24);
/// Parses "0F 31 30" or "0f3130"; nothing on a bad digit or an odd count.
std::optional<Bytes> ParseHex(std::string_view text);

}  // namespace termsim
