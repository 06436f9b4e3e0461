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
class CMainThread : public ICommEvents {
 public:
  explicit CMainThread(CCommPort& port) : m_Port(port) {
    m_Port.SetNotify([this] {
      std::lock_guard lock(m_Mutex);
      ++m_nWakeups;
      m_Cond.notify_all();
    });
  }
  ~CMainThread() override {
    m_Port.Close();  // no reader may call back into a destroyed object
    m_Port.SetNotify({});
  }

  /// Handles wake-ups until pred() holds or timeoutMs passed; pred()'s result.
  template <class Pred>
  bool PumpUntil(Pred pred, int timeoutMs = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
      {
        std::unique_lock lock(m_Mutex);
        if (!m_Cond.wait_until(lock, deadline, [&] { return m_nWakeups > 0; })) return pred();
        m_nWakeups = 0;
      }
      m_Port.DispatchReaderEvent(*this);
    }
    return true;
  }
  /// Waits (without handling) until the reader has posted something.
  bool WaitForWakeup(int timeoutMs = 5000) {
    std::unique_lock lock(m_Mutex);
    return m_Cond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return m_nWakeups > 0; });
  }

  void OnCommRead() override {
    ++m_nBursts;
    if (m_OnRead) m_OnRead();
    if (!m_bDrain) return;
    std::vector<std::uint8_t> burst;
    std::uint8_t b = 0;
    while (m_Port.m_QueueRead.Get(&b)) burst.push_back(b);
    m_Received.insert(m_Received.end(), burst.begin(), burst.end());
    m_Bursts.push_back(std::move(burst));
  }
  void OnCommMessage(std::string_view text) override { m_Messages.emplace_back(text); }
  void OnCommFailure() override { ++m_nFailures; }

  CCommPort& m_Port;
  std::mutex m_Mutex;
  std::condition_variable m_Cond;
  int m_nWakeups = 0;
  bool m_bDrain = true;
  std::function<void()> m_OnRead;
  int m_nBursts = 0;
  int m_nFailures = 0;
  std::vector<std::uint8_t> m_Received;
  std::vector<std::vector<std::uint8_t>> m_Bursts;  // what each hand-over held
  std::vector<std::string> m_Messages;
};
