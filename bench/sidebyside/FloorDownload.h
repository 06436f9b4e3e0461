// The BLL protocol as the floor servers speak it: the least a server must do to
// answer one frame of a download, with nothing around it (no output, no timers,
// no checks beyond what the protocol needs). Not a part of the product.
#pragma once

#include "download/BlockReader.h"
#include "download/Frame.h"

#include <array>
#include <cstdint>
#include <span>

/// One connection and the download it runs.
struct FloorDownload {
  int fd = -1;  // the connection
  int file = -1;
  int packetNo = 0;
  int packetCount = 0;
  int blockSize = 0;
  std::int64_t fileSize = 0;
  BlockReader blocks;  // read ahead as Tarvix reads: 16 blocks per pread
  Frame out;           // the reply; the block is read straight into it
  std::array<std::uint8_t, 1024> in{};

  FloorDownload() = default;
  FloorDownload(const FloorDownload&) = delete;
  FloorDownload& operator=(const FloorDownload&) = delete;
  ~FloorDownload();
};

/// Answers the bytes received into d.in (got of them) from the files of folder:
/// true when d.out holds the reply to send.
bool FloorAnswer(int folder, FloorDownload& d, std::size_t got);

/// The port and folder of a floor server's command line (PORT FOLDER); prints
/// usage and returns false when they are not there.
bool FloorArgs(int argc, char** argv, const char* usage, unsigned& port, int& folder);

/// A listening socket on 127.0.0.1:port (flags for socket(2), e.g. SOCK_NONBLOCK), or -1.
int FloorListen(unsigned port, int flags);
