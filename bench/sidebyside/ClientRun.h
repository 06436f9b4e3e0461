// One run of many lock-step clients on one epoll loop: each client downloads
// the file again and again until the run's time is up, then finishes the
// download it is in. Bounded: whatever has not finished by the hard limit fails.
#pragma once

#include "DownloadClients.h"

#include <sys/types.h>

#include <functional>
#include <memory>

using ClientFactory = std::function<std::unique_ptr<DownloadClient>(const DownloadTarget&)>;

struct RunFigures {
  int clients = 0;
  long downloads = 0;   // finished and byte-exact
  long mismatched = 0;  // finished, but the bytes differ
  long failed = 0;      // refused, cut off or not finished in time
  long blocks = 0;      // blocks of the byte-exact downloads
  double seconds = 0;   // from the first request to the last download's end
  double fastestDownloadSeconds = 0;
  double slowestDownloadSeconds = 0;
  // Over the first download of every client only: those all start at once.
  double firstRoundFastestSeconds = 0;
  double firstRoundSlowestSeconds = 0;
  double machineBusySeconds = 0;  // the whole machine, /proc/stat
  double clientCpuSeconds = 0;    // this benchmark, getrusage
  double serverCpuSeconds = -1;   // the server and every process it forked (perf task-clock)
  long serverPeakRssKb = 0;       // the server process's resident memory, sampled
};

/// Runs clients clients against target for at least seconds (each does one
/// download at least); serverPid is sampled for CPU and memory.
RunFigures RunClients(const ClientFactory& factory, const DownloadTarget& target, int clients,
                      double seconds, double hardLimitSeconds, pid_t serverPid);
