// How a serial reader wakes the main thread: it only bumps an eventfd; the main
// loop sees it among the descriptors it polls with the connections and runs the
// hand-off there while the reader waits. The reader never touches a Qt object.
#pragma once

#include "base/UniqueFd.h"
#include "comm/CommPort.h"
#include "net/ConnectionPoller.h"

#include <functional>
#include <memory>
#include <string>

class ReaderWakeUp {
 public:
  /// Gives port its wake-up; onWake runs on the main thread for every wake.
  ReaderWakeUp(CommPort& port, std::function<void()> onWake);
  /// Takes the wake-up from the port again (call with the port closed).
  ~ReaderWakeUp();
  ReaderWakeUp(const ReaderWakeUp&) = delete;
  ReaderWakeUp& operator=(const ReaderWakeUp&) = delete;

  /// Why there is no wake-up ("" when there is): without one the reader's first
  /// burst would wait for a hand-off nobody sees, so the port must not be used.
  const std::string& Error() const noexcept { return m_error; }

 private:
  CommPort& m_port;
  UniqueFd m_fd;
  std::unique_ptr<ReadWatch> m_watch;
  std::string m_error;
};
