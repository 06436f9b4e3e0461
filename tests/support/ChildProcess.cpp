// Child-process harness of the end-to-end tests and benchmarks.
#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <stdexcept>

ChildProcess::ChildProcess(const std::string& exe, const std::string& dir,
                           const std::vector<std::string>& args) {
  int outPipe[2];
  int errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe");
  std::vector<std::string> argv = {exe};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  m_pid = ::fork();
  if (m_pid == 0) {
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(errPipe[1], STDERR_FILENO);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::execv(cargv[0], cargv.data());
    ::_exit(127);
  }
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  if (m_pid < 0) {
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    throw std::runtime_error("fork");
  }
  m_collector = std::thread([this, o = outPipe[0], e = errPipe[0]] { Collect(o, e); });
}

ChildProcess::~ChildProcess() {
  if (!m_reaped && m_pid > 0) {
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &m_status, 0);
  }
  if (m_collector.joinable()) m_collector.join();
}

void ChildProcess::Collect(int outFd, int errFd) {
  std::string partial[2];
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      partial[i].append(buf, static_cast<std::size_t>(n));
      std::lock_guard lock(m_mutex);
      for (std::size_t pos; (pos = partial[i].find('\n')) != std::string::npos;) {
        (i == 0 ? m_out : m_err).push_back(partial[i].substr(0, pos));
        partial[i].erase(0, pos + 1);
      }
      m_cond.notify_all();
    }
  }
  std::lock_guard lock(m_mutex);
  m_eof = true;
  m_cond.notify_all();
}

bool ChildProcess::WaitFor(const std::vector<std::string>& lines, std::string_view text,
                           bool prefix, int timeoutMs) {
  std::unique_lock lock(m_mutex);
  return m_cond.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    for (const auto& l : lines) {
      if (prefix ? std::string_view(l).starts_with(text) : l == text) return true;
    }
    return m_eof;
  }) && [&] {
    for (const auto& l : lines) {
      if (prefix ? std::string_view(l).starts_with(text) : l == text) return true;
    }
    return false;
  }();
}

bool ChildProcess::WaitForOut(std::string_view line, bool prefix, int timeoutMs) {
  return WaitFor(m_out, line, prefix, timeoutMs);
}

bool ChildProcess::WaitForErr(std::string_view prefix, int timeoutMs) {
  return WaitFor(m_err, prefix, true, timeoutMs);
}

int ChildProcess::Wait(int timeoutMs) {
  if (m_reaped) return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    if (::waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
      m_reaped = true;
      if (m_collector.joinable()) m_collector.join();
      return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

int ChildProcess::Stop(int sig, int timeoutMs) {
  if (!m_reaped) ::kill(m_pid, sig);
  return Wait(timeoutMs);
}

std::vector<std::string> ChildProcess::OutLines() {
  std::lock_guard lock(m_mutex);
  return m_out;
}

std::vector<std::string> ChildProcess::ErrLines() {
  std::lock_guard lock(m_mutex);
  return m_err;
}

void ChildProcess::PrintLines(std::string_view who) {
  for (const auto& l : OutLines()) std::cerr << "  " << who << " stdout: " << l << "\n";
  for (const auto& l : ErrLines()) std::cerr << "  " << who << " stderr: " << l << "\n";
}
