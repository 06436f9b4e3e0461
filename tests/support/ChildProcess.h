// Runs a program as a child process in a folder, collects its stdout and stderr
// lines, and stops it with a signal. Every wait is bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class ChildProcess {
 public:
  /// Starts exe in dir with the given arguments (after the program name). Throws when
  /// no process can be started.
  ChildProcess(const std::string& exe, const std::string& dir,
               const std::vector<std::string>& args);
  /// Kills the child if it still runs and reaps it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// Waits until a stdout line equals line (or, with prefix, starts with it).
  bool WaitForOut(std::string_view line, bool prefix = false, int timeoutMs = 10000);
  bool WaitForErr(std::string_view prefix, int timeoutMs = 10000);
  /// Sends sig and waits for the exit; the exit code, or -1 (killed / timed out).
  int Stop(int sig, int timeoutMs = 10000);
  /// Waits for the child to exit by itself; its exit code or -1.
  int Wait(int timeoutMs = 10000);

  /// The child's process id (to send it signals that do not end it).
  pid_t Pid() const noexcept { return m_pid; }

  std::vector<std::string> OutLines();
  std::vector<std::string> ErrLines();
  /// Every line the child printed, to our stderr as "  <who> stdout: <line>" and
  /// "  <who> stderr: <line>" (what a failed test shows of it).
  void PrintLines(std::string_view who);

 private:
  void Collect(int outFd, int errFd);
  bool WaitFor(const std::vector<std::string>& lines, std::string_view text, bool prefix,
               int timeoutMs);

  pid_t m_pid = -1;
  int m_status = 0;
  bool m_reaped = false;
  std::thread m_collector;
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::vector<std::string> m_out;
  std::vector<std::string> m_err;
  bool m_eof = false;
};
