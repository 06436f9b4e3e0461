// termios2 line setup. This file must not include <termios.h>: the kernel's
// asm/termbits.h defines the same names with the termios2 layout.
#include "comm/LineSettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool SetRawLine(int fd, std::uint32_t rate) {
  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  // Raw: no input translation, no software flow control, no output processing,
  // no echo, no line editing, no signals.
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CBAUD | (CBAUD << IBSHIFT));
  // CLOCAL: a modem's carrier going down must not hang the port up; the link
  // is only ever ended by a reopen or the end of a download.
  tio.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = rate;
  tio.c_ospeed = rate;
  // VMIN 1: on our non-blocking descriptor an empty line then reads as EAGAIN,
  // so a read of 0 bytes means only one thing: the line was hung up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return ::ioctl(fd, TCSETS2, &tio) == 0;
}

std::uint32_t GetLineRate(int fd) {
  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return 0;
  return tio.c_ospeed;
}
