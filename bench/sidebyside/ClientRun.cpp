// The epoll loop that drives every client of a run.
#include "ClientRun.h"

#include "CpuMeter.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {
using Seconds = std::chrono::duration<double>;
constexpr auto kResendAfter = std::chrono::milliseconds(1000);
constexpr int kWaitMs = 20;

class Epoll {
 public:
  Epoll() : m_fd(::epoll_create1(EPOLL_CLOEXEC)) {}
  ~Epoll() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Epoll(const Epoll&) = delete;
  Epoll& operator=(const Epoll&) = delete;
  void Watch(int op, int fd, std::uint32_t events, std::size_t index) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = index;
    ::epoll_ctl(m_fd, op, fd, &ev);
  }
  int Wait(std::vector<epoll_event>& events) {
    return ::epoll_wait(m_fd, events.data(), static_cast<int>(events.size()), kWaitMs);
  }

 private:
  int m_fd;
};
}  // namespace

RunFigures RunClients(const ClientFactory& factory, const DownloadTarget& target, int clients,
                      double seconds, double hardLimitSeconds, pid_t serverPid) {
  RunFigures figures;
  figures.clients = clients;
  const long blocksPerFile =
      static_cast<long>((target.image.size() + static_cast<std::size_t>(target.blockSize) - 1) /
                        static_cast<std::size_t>(target.blockSize));
  std::vector<std::unique_ptr<DownloadClient>> list;
  std::vector<std::uint32_t> watched(static_cast<std::size_t>(clients), 0);
  std::vector<bool> active(static_cast<std::size_t>(clients), false);
  std::vector<bool> firstDone(static_cast<std::size_t>(clients), false);
  for (int i = 0; i < clients; ++i) list.push_back(factory(target));

  Epoll epoll;
  double fastest = std::numeric_limits<double>::max(), slowest = 0;
  double firstFastest = std::numeric_limits<double>::max(), firstSlowest = 0;
  const double busyBefore = MachineBusySeconds();
  const double ownBefore = OwnCpuSeconds();
  const auto start = BenchClock::now();
  const auto deadline = start + std::chrono::duration_cast<BenchClock::duration>(Seconds(seconds));
  const auto hardLimit =
      start + std::chrono::duration_cast<BenchClock::duration>(Seconds(hardLimitSeconds));

  int running = 0;
  const auto begin = [&](std::size_t i) {
    DownloadClient& client = *list[i];
    client.m_started = client.m_lastHeard = BenchClock::now();
    if (client.Begin() != DownloadState::Running) {
      ++figures.failed;
      client.Close();
      return;
    }
    watched[i] = client.WantedEvents();
    epoll.Watch(EPOLL_CTL_ADD, client.Fd(), watched[i], i);
    active[i] = true;
    ++running;
  };
  const auto finish = [&](std::size_t i, DownloadState state) {
    DownloadClient& client = *list[i];
    const auto now = BenchClock::now();
    if (state == DownloadState::Done && client.Matches()) {
      ++figures.downloads;
      figures.blocks += blocksPerFile;
      const double took = Seconds(now - client.m_started).count();
      fastest = std::min(fastest, took);
      slowest = std::max(slowest, took);
      if (!firstDone[i]) {
        firstFastest = std::min(firstFastest, took);
        firstSlowest = std::max(firstSlowest, took);
      }
    } else if (state == DownloadState::Done) {
      ++figures.mismatched;
    } else {
      ++figures.failed;
    }
    firstDone[i] = true;
    client.Close();  // also leaves the epoll set
    active[i] = false;
    --running;
    if (state == DownloadState::Done && now < deadline) begin(i);
  };

  for (std::size_t i = 0; i < list.size(); ++i) begin(i);
  std::vector<epoll_event> events(1024);
  auto lastScan = start;
  while (running > 0) {
    const int n = epoll.Wait(events);
    for (int k = 0; k < n; ++k) {
      const auto i = static_cast<std::size_t>(events[static_cast<std::size_t>(k)].data.u64);
      if (!active[i]) continue;
      DownloadClient& client = *list[i];
      const DownloadState state = client.OnEvents(events[static_cast<std::size_t>(k)].events);
      if (state != DownloadState::Running) {
        finish(i, state);
        continue;
      }
      client.m_lastHeard = BenchClock::now();
      if (client.WantedEvents() != watched[i]) {
        watched[i] = client.WantedEvents();
        epoll.Watch(EPOLL_CTL_MOD, client.Fd(), watched[i], i);
      }
    }
    const auto now = BenchClock::now();
    if (now - lastScan < std::chrono::milliseconds(100)) continue;
    lastScan = now;
    figures.serverPeakRssKb =
        std::max(figures.serverPeakRssKb, ProcessStatusKb(serverPid, "VmRSS"));
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (!active[i]) continue;
      if (now > hardLimit) {
        finish(i, DownloadState::Failed);
      } else if (now - list[i]->m_lastHeard > kResendAfter) {
        list[i]->m_lastHeard = now;
        list[i]->Resend();
      }
    }
  }
  figures.seconds = Seconds(BenchClock::now() - start).count();
  figures.machineBusySeconds = MachineBusySeconds() - busyBefore;
  figures.clientCpuSeconds = OwnCpuSeconds() - ownBefore;
  figures.fastestDownloadSeconds = figures.downloads > 0 ? fastest : 0;
  figures.slowestDownloadSeconds = slowest;
  figures.firstRoundFastestSeconds = firstSlowest > 0 ? firstFastest : 0;
  figures.firstRoundSlowestSeconds = firstSlowest;
  figures.serverPeakRssKb = std::max(figures.serverPeakRssKb, ProcessStatusKb(serverPid, "VmRSS"));
  return figures;
}
