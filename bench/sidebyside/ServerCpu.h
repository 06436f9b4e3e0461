// A server started under `perf stat`, so the CPU time of the server and of
// every process it forks is counted, exactly while the benchmark says so.
// Counting is switched through perf's control FIFOs; the total is read when
// the server ends. Without perf, Counted() is false.
#pragma once

#include "ServerProcess.h"

#include <memory>
#include <string>
#include <vector>

class CountedServer {
 public:
  CountedServer(const std::string& perf, const std::string& exe,
                const std::vector<std::string>& args, const std::string& dir,
                const std::string& tag);
  ~CountedServer();
  CountedServer(const CountedServer&) = delete;
  CountedServer& operator=(const CountedServer&) = delete;

  /// The server process itself (not perf); -1 when it did not start.
  pid_t ServerPid() const noexcept { return m_serverPid; }
  bool Counted() const noexcept { return m_counted; }
  /// True while the server (and perf, when counting) still run.
  bool Alive() const;
  /// Starts and stops counting; false when perf did not acknowledge.
  bool Enable() { return Command("enable"); }
  bool Disable() { return Command("disable"); }
  /// Stops the server and returns the CPU seconds counted; -1 when unknown.
  double Finish();

 private:
  bool Command(const char* command);

  std::string m_outPath, m_controlPath, m_ackPath;
  int m_controlFd = -1, m_ackFd = -1;
  bool m_counted = false;
  pid_t m_serverPid = -1;
  std::unique_ptr<ServerProcess> m_process;
};
