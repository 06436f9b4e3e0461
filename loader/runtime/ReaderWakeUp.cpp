// The serial reader's wake-up of the main thread.
#include "runtime/ReaderWakeUp.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

ReaderWakeUp::ReaderWakeUp(CommPort& port, std::function<void()> onWake) : m_port(port) {
  m_fd.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!m_fd.Valid()) {
    m_error = std::string("cannot make the serial reader's wake-up (eventfd: ") +
              std::strerror(errno) + ")";
    return;
  }
  m_watch = std::make_unique<ReadWatch>(m_fd.Get(), [fd = m_fd.Get(), onWake = std::move(onWake)] {
    std::uint64_t count = 0;
    (void)!::read(fd, &count, sizeof count);
    onWake();
  });
  if (!m_watch->Watching()) {
    m_error = std::string("cannot watch the serial reader's wake-up: ") + std::strerror(errno);
    m_watch.reset();
    m_fd.Reset();
    return;
  }
  m_port.SetNotify([fd = m_fd.Get()] {
    const std::uint64_t one = 1;
    (void)!::write(fd, &one, sizeof one);
  });
}

ReaderWakeUp::~ReaderWakeUp() {
  m_port.SetNotify({});
  m_watch.reset();
}
