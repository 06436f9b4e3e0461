// Lookup of the embedded payload files by manifest id.
#include "payloads/Payloads.h"

std::optional<std::span<const std::uint8_t>> FindPayload(int id) {
  for (const EmbeddedPayload& payload : EmbeddedPayloads()) {
    if (payload.id == id) {
      return payload.bytes;
    }
  }
  return std::nullopt;
}
