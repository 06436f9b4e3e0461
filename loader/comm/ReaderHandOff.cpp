// Cancellable hand-off between the serial reader and the main thread.
#include "comm/ReaderHandOff.h"

#include <utility>

void CReaderHandOff::SetNotify(Notify notify) {
  std::lock_guard lock(m_Mutex);
  m_Notify = std::move(notify);
}

void CReaderHandOff::Arm() {
  std::lock_guard lock(m_Mutex);
  m_bCancelled = false;
  m_bPending = false;
  m_bWaiting = false;
}

void CReaderHandOff::Cancel() {
  {
    std::lock_guard lock(m_Mutex);
    m_bCancelled = true;
    m_bPending = false;
    m_bWaiting = false;
  }
  m_Cond.notify_all();
}

bool CReaderHandOff::PostAndWait(ReaderEvent event, std::string text) {
  Notify notify;
  std::uint64_t token = 0;
  {
    std::lock_guard lock(m_Mutex);
    if (m_bCancelled) return false;
    token = m_nNextToken++;
    m_Post = ReaderPost{event, std::move(text), token};
    m_bPending = true;
    m_bWaiting = true;
    notify = m_Notify;
  }
  // Outside the lock: the wake-up may run arbitrary (thread-safe) code.
  if (notify) notify();
  std::unique_lock lock(m_Mutex);
  m_Cond.wait(lock, [&] { return m_bCancelled || !m_bWaiting || m_Post.token != token; });
  return !m_bCancelled;
}

std::optional<ReaderPost> CReaderHandOff::Take() {
  std::lock_guard lock(m_Mutex);
  if (!m_bPending || m_bCancelled) return std::nullopt;
  m_bPending = false;
  return m_Post;
}

void CReaderHandOff::Done(std::uint64_t token) {
  {
    std::lock_guard lock(m_Mutex);
    if (!m_bWaiting || m_Post.token != token) return;
    m_bWaiting = false;
  }
  m_Cond.notify_all();
}
