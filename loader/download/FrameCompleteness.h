// Whether received bytes already hold a whole frame, so the serial reader can
// hand them over without waiting for the line to fall silent.
#pragma once

#include <cstdint>
#include <span>

enum class ReceivedFrame {
  None,        // no start byte: nothing a frame could grow from
  Incomplete,  // a start byte, but no complete frame yet
  Complete,    // a complete frame begins at the first start byte
};

/// Looks at held from its first start byte (0x0F or 0x02, as the dispatch
/// does). Complete when some trailer byte of that family is followed by the
/// right LRC and the frame up to it is as long as its command needs: a "next"
/// reaches its verdict byte (offset 4) before the trailer, a request holds its
/// whole selector (see MinTrailerOffset). Bytes after such a frame don't matter.
ReceivedFrame ClassifyReceived(std::span<const std::uint8_t> held);

/// Smallest offset the trailer may have in a frame that begins with head (the
/// bytes before the trailer candidate): 2 for most commands, 5 for a "next",
/// and past the selector for a request. SIZE_MAX when head cannot yet end.
std::size_t MinTrailerOffset(std::span<const std::uint8_t> head);
