// Line settings of a serial device: raw 8N1 at any bit rate (56000 included,
// which has no B-constant, hence termios2).
#pragma once

#include <cstdint>

/// Sets fd raw, 8 data bits, no parity, one stop bit, receiver on, modem
/// status lines ignored, at rate bit/s. Hardware flow control keeps what the
/// driver reported. Returns false when the device refuses (e.g. not a tty).
bool SetRawLine(int fd, std::uint32_t rate);

/// The rate the device reports for output, 0 when it cannot be read.
std::uint32_t GetLineRate(int fd);
