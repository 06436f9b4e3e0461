// Starting and stopping a server process.
#include "ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

ServerProcess::ServerProcess(const std::string& exe, const std::vector<std::string>& args,
                             const std::string& dir, const std::string& stderrPath) {
  std::vector<std::string> argStore;
  argStore.push_back(exe);
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStore) argv.push_back(arg.data());
  argv.push_back(nullptr);
  m_pid = ::fork();
  if (m_pid != 0) return;
  // Child: only async-signal-safe calls until exec.
  ::setpgid(0, 0);
  const int devNull = ::open("/dev/null", O_RDWR);
  const int err = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (devNull >= 0) {
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
  }
  if (err >= 0) ::dup2(err, STDERR_FILENO);
  if (::chdir(dir.c_str()) != 0) ::_exit(127);
  ::execv(exe.c_str(), argv.data());
  ::_exit(127);
}

ServerProcess::~ServerProcess() {
  if (m_pid <= 0) return;
  if (m_reaped) {
    ::kill(-m_pid, SIGKILL);
    return;
  }
  // The whole group: a forking server's children go with it.
  ::kill(-m_pid, SIGTERM);
  for (int i = 0; i < 500; ++i) {
    if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
      ::kill(-m_pid, SIGKILL);  // children it left behind
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::kill(-m_pid, SIGKILL);
  ::waitpid(m_pid, nullptr, 0);
}

bool ServerProcess::Running() const {
  if (m_pid <= 0 || m_reaped) return false;
  if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) m_reaped = true;
  return !m_reaped;
}

bool ServerProcess::WaitExit(int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    if (!Running()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}
