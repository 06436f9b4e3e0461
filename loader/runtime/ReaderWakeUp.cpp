// The serial reader's wake-up of the main thread.
#include "runtime/ReaderWakeUp.h"

#include <QObject>

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
  m_notifier = std::make_unique<QSocketNotifier>(m_fd.Get(), QSocketNotifier::Read);
  QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                   [fd = m_fd.Get(), onWake = std::move(onWake)] {
                     std::uint64_t count = 0;
                     (void)!::read(fd, &count, sizeof count);
                     onWake();
                   });
  m_port.SetNotify([fd = m_fd.Get()] {
    const std::uint64_t one = 1;
    (void)!::write(fd, &one, sizeof one);
  });
}

ReaderWakeUp::~ReaderWakeUp() {
  m_port.SetNotify({});
  m_notifier.reset();
}
