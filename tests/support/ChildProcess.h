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

class CChildProcess {
 public:
  /// Starts exe in dir with the given arguments (after the program name). Throws when
  /// no process can be started.
  CChildProcess(const std::string& exe, const std::string& dir,
                const std::vector<std::string>& args);
  /// Kills the child if it still runs and reaps it.
  ~CChildProcess();
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  /// Waits until a stdout line equals line (or, with bPrefix, starts with it).
  bool WaitForOut(std::string_view line, bool bPrefix = false, int timeoutMs = 10000);
  bool WaitForErr(std::string_view prefix, int timeoutMs = 10000);
  /// Sends sig and waits for the exit; the exit code, or -1 (killed / timed out).
  int Stop(int sig, int timeoutMs = 10000);
  /// Waits for the child to exit by itself; its exit code or -1.
  int Wait(int timeoutMs = 10000);

  /// The child's process id (to send it signals that do not end it).
  pid_t Pid() const noexcept { return m_nPid; }

  std::vector<std::string> OutLines();
  std::vector<std::string> ErrLines();

 private:
  void Collect(int outFd, int errFd);
  bool WaitFor(const std::vector<std::string>& lines, std::string_view text, bool bPrefix,
               int timeoutMs);

  pid_t m_nPid = -1;
  int m_nStatus = 0;
  bool m_bReaped = false;
  std::thread m_Collector;
  std::mutex m_Mutex;
  std::condition_variable m_Cond;
  std::vector<std::string> m_Out;
  std::vector<std::string> m_Err;
  bool m_bEof = false;
};
