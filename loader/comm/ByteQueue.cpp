// Receive queue of the serial channel.
#include "comm/ByteQueue.h"

ByteQueue::ByteQueue() noexcept {
  Clear();
}

void ByteQueue::Clear() noexcept {
  m_data.fill(0);
  m_head.store(0, std::memory_order_relaxed);
  m_tail.store(0, std::memory_order_release);
}

int ByteQueue::GetCount() const noexcept {
  const std::int32_t head = m_head.load(std::memory_order_acquire);
  const std::int32_t tail = m_tail.load(std::memory_order_acquire);
  return (head - tail + kCapacity) % kCapacity;
}

bool ByteQueue::Put(std::uint8_t b) noexcept {
  const std::int32_t head = m_head.load(std::memory_order_relaxed);
  const std::int32_t next = (head + 1) % kCapacity;
  if (next == m_tail.load(std::memory_order_acquire)) return false;
  m_data[static_cast<std::size_t>(head)] = b;
  // Release: the byte is visible before the consumer sees the new head.
  m_head.store(next, std::memory_order_release);
  return true;
}

bool ByteQueue::Get(std::uint8_t* pb) noexcept {
  const std::int32_t tail = m_tail.load(std::memory_order_relaxed);
  if (tail == m_head.load(std::memory_order_acquire)) return false;
  *pb = m_data[static_cast<std::size_t>(tail)];
  m_tail.store((tail + 1) % kCapacity, std::memory_order_release);
  return true;
}
