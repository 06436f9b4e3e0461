// File selectors of the two request families: which image a request frame asks for.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

/// Image name (without the leading backslash) asked for by the ROM request
/// 0F 31 ...; nothing when its selector needs a 0x1C that the frame lacks.
std::optional<std::string> RomRequestName(std::span<const std::uint8_t> frame);

/// True for 02 31 frames whose offsets 2-4 hold "MCA" or whose offset 2 holds
/// "B" or "C": the only BLL requests that start a session.
bool IsBllRequest(std::span<const std::uint8_t> frame);

struct BllRequest {
  std::string name;   // without the leading backslash
  int blockSize = 0;  // 256, or 128 for "C"
};

/// Name and block size asked for by a BLL request (IsBllRequest true); nothing
/// when a "B"/"C" selector has no 0x1C at offsets 2..n-3.
std::optional<BllRequest> BllRequestFile(std::span<const std::uint8_t> frame);
