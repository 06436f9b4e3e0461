// Frames of the terminal download protocol: byte values, the LRC, the block
// checksum, trimming of received batches and the fixed reply frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

using Frame = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kRomStart = 0x0F;    // SI
inline constexpr std::uint8_t kRomTrailer = 0x0E;  // SO
inline constexpr std::uint8_t kBllStart = 0x02;    // STX
inline constexpr std::uint8_t kBllTrailer = 0x03;  // ETX
inline constexpr std::uint8_t kFs = 0x1C;          // brackets the data of a data frame
inline constexpr std::uint8_t kAck = 0x06;

// Command bytes (offset 1).
inline constexpr std::uint8_t kCmdRequest = '1';
inline constexpr std::uint8_t kCmdStartReply = '2';
inline constexpr std::uint8_t kCmdBegin = '3';
inline constexpr std::uint8_t kCmdData = '4';
inline constexpr std::uint8_t kCmdRomEnd = '5';
inline constexpr std::uint8_t kCmdRomReject = '6';     // loader -> terminal
inline constexpr std::uint8_t kCmdRomTermError = '6';  // terminal -> loader
inline constexpr std::uint8_t kCmdRomNext = '7';
inline constexpr std::uint8_t kCmdRomDone = kAck;
inline constexpr std::uint8_t kCmdBllNext = '5';
inline constexpr std::uint8_t kCmdBllEnd = '6';
inline constexpr std::uint8_t kCmdBllReject = '7';     // loader -> terminal
inline constexpr std::uint8_t kCmdBllTermError = '7';  // terminal -> loader

inline constexpr std::size_t kVerdictOffset = 4;  // S of a "next" frame
inline constexpr int kMaxBlocks = 65535;          // N and P are 16-bit fields

inline constexpr int kRomBlockSize = 2048;
inline constexpr int kRomModemBlockSize = 1024;  // modem links get half blocks
inline constexpr int kBllBlockSize = 256;
inline constexpr int kBllSubBlockSize = 128;  // "C" requests

enum class FrameFamily { Rom, Bll };

/// XOR of the bytes, starting from 0; empty gives 0.
std::uint8_t CalcLRC(std::span<const std::uint8_t> data);

/// XOR of the data read as 16-bit little-endian words (an odd last byte is a
/// word with high byte 0); empty gives 0.
std::uint16_t BlockChecksum(std::span<const std::uint8_t> data);

/// True when the LRC of offsets 1..n-2 equals the byte at offset n-1.
bool LrcMatches(std::span<const std::uint8_t> frame);

/// Moves the bytes from the first 0x0F or 0x02 to the front of buf and returns
/// the remaining length; 0 when neither byte occurs.
std::size_t FindFrameStart(std::span<std::uint8_t> buf);

/// Byte at offset i, or 0 past the end of the frame (selector bytes beyond the
/// frame count as zero).
inline std::uint8_t ByteAt(std::span<const std::uint8_t> frame, std::size_t i) {
  return i < frame.size() ? frame[i] : std::uint8_t{0};
}

/// Why a ROM request is refused: "1111" (bad frame) or "0000" (no such image).
enum class RomReject { BadFrame, FileNotOpened };

Frame RomRejectFrame(RomReject why);                                // 0F 36 r r r r 0E 38
Frame RomEndFrame();                                                // 0F 35 0E 3B
Frame RomStartReply(int packetCount, std::uint16_t imageChecksum);  // 0F 32 Nh Nl Xl Xh 0E LRC
Frame BllRejectFrame();                                             // 02 37 31 31 31 03 05
Frame BllEndFrame(int packetCount);                                 // 02 36 Nh Nl Nh Nl 03 LRC
Frame BllStartReply(int packetCount, int blockSize);                // 02 32 Nh Nl Bh Bl 03 LRC
/// Data frame: start 34 Ph Pl Lh Ll Cl Ch 1C data 1C trailer LRC (12 + L bytes).
Frame DataFrame(FrameFamily family, int packetNo, std::span<const std::uint8_t> data,
                std::uint16_t checksum);
/// Offset of the data in a data frame.
inline constexpr std::size_t kDataOffset = 9;
/// Size of a data frame around its data.
inline constexpr std::size_t kDataFrameOverhead = 12;
/// Makes frame (12 + L bytes, its L data bytes already at kDataOffset) the data
/// frame of packetNo: header with the block checksum of the data, trailer, LRC.
/// Lets a block be read straight into the frame that carries it.
void SealDataFrame(FrameFamily family, int packetNo, Frame& frame);
/// The download button's 8 fixed bytes 02 20 21 22 23 03 86 FE.
Frame TriggerFrame();
