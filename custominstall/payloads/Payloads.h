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

/// What the build embedded: the placeholder files or a folder of real drivers
/// (-DVB7350_PAYLOAD_DIR), and the SHA-256 over every id, name and file content.
struct PayloadBuild {
  bool placeholders;
  std::string_view manifestChecksum;
};

/// Every embedded payload, in manifest order.
std::span<const EmbeddedPayload> EmbeddedPayloads();

/// The facts of the embedded payloads.
PayloadBuild EmbeddedPayloadBuild();

/// The bytes embedded under id; nothing when the build holds no such payload.
std::optional<std::span<const std::uint8_t>> FindPayload(int id);
