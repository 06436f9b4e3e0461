// Receive queue of the serial channel: a fixed ring of 8192 byte slots shared by
// one producer (the reader thread) and one consumer (the main thread).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

/// Lock-free single-producer / single-consumer byte ring. One slot always stays
/// free, so it holds at most kCapacity - 1 = 8191 bytes.
class ByteQueue {
 public:
  static constexpr int kCapacity = 8192;
  static constexpr int kMaxCount = kCapacity - 1;

  ByteQueue() noexcept;
  ByteQueue(const ByteQueue&) = delete;
  ByteQueue& operator=(const ByteQueue&) = delete;

  /// Empties the queue and zeroes the storage. Not safe while a producer runs.
  void Clear() noexcept;
  /// Bytes held now, 0..8191.
  int GetCount() const noexcept;
  /// Producer side: stores b; false (nothing stored) when 8191 bytes are held.
  bool Put(std::uint8_t b) noexcept;
  /// Consumer side: takes the oldest byte into *pb; false when empty.
  bool Get(std::uint8_t* pb) noexcept;

 private:
  std::array<std::uint8_t, kCapacity> m_data{};
  std::atomic<std::int32_t> m_head{0};  // next slot to write; producer only
  std::atomic<std::int32_t> m_tail{0};  // next slot to read; consumer only
};
