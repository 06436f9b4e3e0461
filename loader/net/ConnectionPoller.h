// One epoll set for all the TCP connections of a thread. The event loop watches
// only the set's descriptor; when it is readable, one bounded batch of ready
// connections is taken from the set and each is told what it may do. So a turn
// of the loop costs the same whether ten or a thousand connections are open.
#pragma once

#include "base/UniqueFd.h"

#include <QSocketNotifier>

#include <cstdint>
#include <functional>
#include <memory>

/// What a watched descriptor is told when it is ready.
class IPollTarget {
 public:
  virtual ~IPollTarget() = default;
  /// events: the EPOLLIN, EPOLLOUT, EPOLLERR and EPOLLHUP bits that are set.
  virtual void OnPollReady(std::uint32_t events) = 0;
};

class ConnectionPoller : public std::enable_shared_from_this<ConnectionPoller> {
 public:
  /// Ready connections served per turn of the event loop; more wait for the next
  /// turn, so timers, the listener and the serial line keep their turns.
  static constexpr int kBatch = 64;

  /// The set of the calling thread, made on first use. Shared by the watches on
  /// it; it closes with the last of them. Null when no epoll set can be made.
  static std::shared_ptr<ConnectionPoller> ForThisThread();
  ~ConnectionPoller();
  ConnectionPoller(const ConnectionPoller&) = delete;
  ConnectionPoller& operator=(const ConnectionPoller&) = delete;

  /// Puts fd into the set, or changes what it is watched for; false when the
  /// system refuses (no memory, too many watches).
  bool Add(int fd, IPollTarget& target, std::uint32_t events);
  bool Change(int fd, IPollTarget& target, std::uint32_t events);
  /// Takes fd out of the set; a ready event of target still waiting in a batch
  /// being served is dropped, so target may be deleted right after.
  void Remove(int fd, IPollTarget& target);

 private:
  struct Batch;
  explicit ConnectionPoller(UniqueFd epoll);
  void OnReady();

  UniqueFd m_epoll;
  std::unique_ptr<QSocketNotifier> m_notifier;
  Batch* m_serving = nullptr;  // innermost batch being served (a nested loop may start another)
};

/// A descriptor's place in its thread's set, watched for what Watch asks and
/// taken out of the set when this goes (before the descriptor is closed).
class PollWatch {
 public:
  PollWatch(int fd, IPollTarget& target);
  ~PollWatch();
  PollWatch(const PollWatch&) = delete;
  PollWatch& operator=(const PollWatch&) = delete;

  /// Watches for events (EPOLLIN and/or EPOLLOUT); 0 takes the descriptor out
  /// of the set, so a hang-up is not reported while nothing is wanted. False
  /// when the set cannot watch it.
  bool Watch(std::uint32_t events);

 private:
  std::shared_ptr<ConnectionPoller> m_poller;
  int m_fd;
  IPollTarget& m_target;
  std::uint32_t m_events = 0;  // 0: not in the set
};

/// A descriptor of the main loop's own (the listener, a wake-up, the signals)
/// watched for reading in the same set as the connections: the event loop then
/// polls one descriptor for all of them, which a lone connection's every block
/// pays for. onReadable runs each time the descriptor is readable.
class ReadWatch : private IPollTarget {
 public:
  ReadWatch(int fd, std::function<void()> onReadable);
  ReadWatch(const ReadWatch&) = delete;
  ReadWatch& operator=(const ReadWatch&) = delete;
  ~ReadWatch() override = default;

  /// False when the set could not take the descriptor.
  bool Watching() const noexcept { return m_watching; }
  /// Stops or resumes watching; false when resuming failed.
  bool SetEnabled(bool enabled);

 private:
  void OnPollReady(std::uint32_t events) override;

  std::function<void()> m_onReadable;
  PollWatch m_watch;
  bool m_watching = false;
};
