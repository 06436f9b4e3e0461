// The epoll set of a thread's connections and the watches on it.
#include "net/ConnectionPoller.h"

#include <sys/epoll.h>

#include <array>
#include <cerrno>

struct ConnectionPoller::Batch {
  std::array<epoll_event, kBatch> events;  // filled by epoll_wait up to count
  int count = 0;
  int next = 0;  // the first event not yet handed out
  Batch* outer = nullptr;
};

std::shared_ptr<ConnectionPoller> ConnectionPoller::ForThisThread() {
  thread_local std::weak_ptr<ConnectionPoller> current;
  if (auto poller = current.lock()) return poller;
  UniqueFd epoll(::epoll_create1(EPOLL_CLOEXEC));
  if (!epoll) return nullptr;
  std::shared_ptr<ConnectionPoller> poller(new ConnectionPoller(std::move(epoll)));
  current = poller;
  return poller;
}

ConnectionPoller::ConnectionPoller(UniqueFd epoll) : m_epoll(std::move(epoll)) {
  m_notifier = std::make_unique<QSocketNotifier>(m_epoll.Get(), QSocketNotifier::Read);
  QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { OnReady(); });
}

ConnectionPoller::~ConnectionPoller() {
  // The notifier goes before the descriptor it watches.
  m_notifier.reset();
}

bool ConnectionPoller::Add(int fd, IPollTarget& target, std::uint32_t events) {
  epoll_event ev{};
  ev.events = events;
  ev.data.ptr = &target;
  return ::epoll_ctl(m_epoll.Get(), EPOLL_CTL_ADD, fd, &ev) == 0;
}

bool ConnectionPoller::Change(int fd, IPollTarget& target, std::uint32_t events) {
  epoll_event ev{};
  ev.events = events;
  ev.data.ptr = &target;
  return ::epoll_ctl(m_epoll.Get(), EPOLL_CTL_MOD, fd, &ev) == 0;
}

void ConnectionPoller::Remove(int fd, IPollTarget& target) {
  ::epoll_ctl(m_epoll.Get(), EPOLL_CTL_DEL, fd, nullptr);
  for (Batch* batch = m_serving; batch != nullptr; batch = batch->outer) {
    for (int i = batch->next; i < batch->count; ++i) {
      epoll_event& ev = batch->events[static_cast<std::size_t>(i)];
      if (ev.data.ptr == &target) ev.data.ptr = nullptr;
    }
  }
}

void ConnectionPoller::OnReady() {
  // Held while serving: the last watch may go inside a target's handler.
  const std::shared_ptr<ConnectionPoller> keep = shared_from_this();
  Batch batch;
  do {
    batch.count = ::epoll_wait(m_epoll.Get(), batch.events.data(), kBatch, 0);
  } while (batch.count < 0 && errno == EINTR);
  if (batch.count <= 0) return;
  batch.outer = m_serving;
  m_serving = &batch;
  while (batch.next < batch.count) {
    const epoll_event ev = batch.events[static_cast<std::size_t>(batch.next++)];
    if (ev.data.ptr != nullptr) static_cast<IPollTarget*>(ev.data.ptr)->OnPollReady(ev.events);
  }
  m_serving = batch.outer;
}

PollWatch::PollWatch(int fd, IPollTarget& target)
    : m_poller(ConnectionPoller::ForThisThread()), m_fd(fd), m_target(target) {}

PollWatch::~PollWatch() {
  Watch(0);
}

bool PollWatch::Watch(std::uint32_t events) {
  if (events == m_events) return true;
  if (!m_poller || m_fd < 0) return events == 0;
  bool ok = true;
  if (events == 0) {
    m_poller->Remove(m_fd, m_target);
  } else if (m_events == 0) {
    ok = m_poller->Add(m_fd, m_target, events);
  } else {
    ok = m_poller->Change(m_fd, m_target, events);
  }
  if (!ok) {
    // A failed change leaves nothing behind: the owner closes the connection.
    m_poller->Remove(m_fd, m_target);
    m_events = 0;
    return false;
  }
  m_events = events;
  return true;
}

ReadWatch::ReadWatch(int fd, std::function<void()> onReadable)
    : m_onReadable(std::move(onReadable)), m_watch(fd, *this) {
  SetEnabled(true);
}

bool ReadWatch::SetEnabled(bool enabled) {
  m_watching = m_watch.Watch(enabled ? std::uint32_t{EPOLLIN} : 0) && enabled;
  return m_watching == enabled;
}

void ReadWatch::OnPollReady(std::uint32_t /*events*/) {
  if (m_onReadable) m_onReadable();
}
