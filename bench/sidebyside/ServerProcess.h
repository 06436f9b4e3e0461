// A server the benchmark starts and stops: its own process group, standard
// output thrown away, standard error kept in a file for when it fails to start.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ServerProcess {
 public:
  /// Starts exe with args in dir; Running() tells whether it started.
  ServerProcess(const std::string& exe, const std::vector<std::string>& args,
                const std::string& dir, const std::string& stderrPath);
  /// Stops it (SIGTERM, then SIGKILL after 5 s) and reaps it.
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  bool Running() const;
  /// Waits up to timeoutMs for the process to end by itself; true when it did.
  bool WaitExit(int timeoutMs);
  pid_t Pid() const noexcept { return m_pid; }

 private:
  pid_t m_pid = -1;
  mutable bool m_reaped = false;
};
