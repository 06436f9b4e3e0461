// Cancellable hand-off between the serial reader and the main thread.
#include "comm/ReaderHandOff.h"

#include <utility>

void ReaderHandOff::SetNotify(Notify notify) {
  std::lock_guard lock(m_mutex);
  m_notify = std::move(notify);
}

void ReaderHandOff::Arm() {
  std::lock_guard lock(m_mutex);
  m_cancelled = false;
  m_pending = false;
  m_waiting = false;
}

void ReaderHandOff::Cancel() {
  {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_pending = false;
    m_waiting = false;
  }
  m_cond.notify_all();
}

bool ReaderHandOff::PostAndWait(ReaderEvent event, std::string text) {
  Notify notify;
  std::uint64_t token = 0;
  {
    std::lock_guard lock(m_mutex);
    if (m_cancelled) return false;
    token = m_nextToken++;
    m_post = ReaderPost{event, std::move(text), token};
    m_pending = true;
    m_waiting = true;
    notify = m_notify;
  }
  // Outside the lock: the wake-up may run arbitrary (thread-safe) code.
  if (notify) notify();
  std::unique_lock lock(m_mutex);
  m_cond.wait(lock, [&] { return m_cancelled || !m_waiting || m_post.token != token; });
  return !m_cancelled;
}

std::optional<ReaderPost> ReaderHandOff::Take() {
  std::lock_guard lock(m_mutex);
  if (!m_pending || m_cancelled) return std::nullopt;
  m_pending = false;
  return m_post;
}

void ReaderHandOff::Done(std::uint64_t token) {
  {
    std::lock_guard lock(m_mutex);
    if (!m_waiting || m_post.token != token) return;
    m_waiting = false;
  }
  m_cond.notify_all();
}
