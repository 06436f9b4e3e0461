// The payload files embedded in the program, looked up by their manifest id.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

/// One embedded file: its manifest id, the file it was made from, its bytes.
struct EmbeddedPayload {
  int id;
  std::string_view fileName;
  std::span<const std::uint8_t> bytes;
};

/// Every embedded payload, in manifest order.
std::span<const EmbeddedPayload> EmbeddedPayloads();

/// The bytes embedded under id; nothing when the build holds no such payload.
std::optional<std::span<const std::uint8_t>> FindPayload(int id);
