// Plays the main thread for tests of the serial channel: the reader's wake-ups
// land here, and PumpUntil handles them, recording every burst handed over.
#pragma once

#include "comm/CommPort.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

/// Plays the main thread: the reader's wake-ups land here, and Pump handles them.
class MainThread : public ICommEvents {
 public:
  explicit MainThread(CommPort& port) : m_port(port) {
    m_port.SetNotify([this] {
      std::lock_guard lock(m_mutex);
      ++m_wakeups;
      m_cond.notify_all();
    });
  }
  ~MainThread() override {
    m_port.Close();  // no reader may call back into a destroyed object
    m_port.SetNotify({});
  }

  /// Handles wake-ups until pred() holds or timeoutMs passed; pred()'s result.
  template <class Pred>
  bool PumpUntil(Pred pred, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
      {
        std::unique_lock lock(m_mutex);
        if (!m_cond.wait_until(lock, deadline, [&] { return m_wakeups > 0; })) return pred();
        m_wakeups = 0;
      }
      m_port.DispatchReaderEvent(*this);
    }
    return true;
  }
  /// Waits (without handling) until the reader has posted something.
  bool WaitForWakeup(int timeoutMs = 5000) {
    std::unique_lock lock(m_mutex);
    return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_wakeups > 0; });
  }

  void OnCommRead() override {
    ++m_burstCount;
    if (m_onRead) m_onRead();
    if (!m_drain) return;
    std::vector<std::uint8_t> burst;
    std::uint8_t b = 0;
    while (m_port.m_readQueue.Get(&b)) burst.push_back(b);
    m_received.insert(m_received.end(), burst.begin(), burst.end());
    m_bursts.push_back(std::move(burst));
  }
  void OnCommMessage(std::string_view text) override { m_messages.emplace_back(text); }
  void OnCommFailure() override { ++m_failures; }

  CommPort& m_port;
  std::mutex m_mutex;
  std::condition_variable m_cond;
  int m_wakeups = 0;
  bool m_drain = true;
  std::function<void()> m_onRead;
  int m_burstCount = 0;
  int m_failures = 0;
  std::vector<std::uint8_t> m_received;
  std::vector<std::vector<std::uint8_t>> m_bursts;  // what each hand-over held
  std::vector<std::string> m_messages;
};
