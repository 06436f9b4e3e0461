// Receive queue of the serial channel.
#include "comm/ByteQueue.h"

CByteQueue::CByteQueue() noexcept {
  Clear();
}

void CByteQueue::Clear() noexcept {
  m_Data.fill(0);
  m_nHead.store(0, std::memory_order_relaxed);
  m_nTail.store(0, std::memory_order_release);
}

int CByteQueue::GetCount() const noexcept {
  const std::int32_t head = m_nHead.load(std::memory_order_acquire);
  const std::int32_t tail = m_nTail.load(std::memory_order_acquire);
  return (head - tail + kCapacity) % kCapacity;
}

bool CByteQueue::Put(std::uint8_t b) noexcept {
  const std::int32_t head = m_nHead.load(std::memory_order_relaxed);
  const std::int32_t next = (head + 1) % kCapacity;
  if (next == m_nTail.load(std::memory_order_acquire)) return false;
  m_Data[static_cast<std::size_t>(head)] = b;
  // Release: the byte is visible before the consumer sees the new head.
  m_nHead.store(next, std::memory_order_release);
  return true;
}

bool CByteQueue::Get(std::uint8_t* pb) noexcept {
  const std::int32_t tail = m_nTail.load(std::memory_order_relaxed);
  if (tail == m_nHead.load(std::memory_order_acquire)) return false;
  *pb = m_Data[static_cast<std::size_t>(tail)];
  m_nTail.store((tail + 1) % kCapacity, std::memory_order_release);
  return true;
}
