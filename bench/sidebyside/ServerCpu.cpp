// perf stat's task-clock of a server and its children.
#include "ServerCpu.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {
/// The first child of pid, waiting up to 5 s for it to appear.
pid_t FirstChild(pid_t pid) {
  const std::string path =
      "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
  for (int i = 0; i < 500; ++i) {
    std::ifstream children(path);
    pid_t child = -1;
    if (children >> child && child > 0) return child;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}
}  // namespace

CountedServer::CountedServer(const std::string& perf, const std::string& exe,
                             const std::vector<std::string>& args, const std::string& dir,
                             const std::string& tag)
    : m_outPath(dir + "/" + tag + ".perf"),
      m_controlPath(dir + "/" + tag + ".ctl"),
      m_ackPath(dir + "/" + tag + ".ack") {
  const std::string errPath = dir + "/" + tag + ".err";
  ::unlink(m_controlPath.c_str());
  ::unlink(m_ackPath.c_str());
  m_counted = !perf.empty() && ::access(perf.c_str(), X_OK) == 0 &&
              ::mkfifo(m_controlPath.c_str(), 0600) == 0 && ::mkfifo(m_ackPath.c_str(), 0600) == 0;
  if (!m_counted) {
    m_process = std::make_unique<ServerProcess>(exe, args, dir, errPath);
    m_serverPid = m_process->Pid();
    return;
  }
  // Opened read-write so neither open waits for perf to open its end.
  m_controlFd = ::open(m_controlPath.c_str(), O_RDWR | O_CLOEXEC);
  m_ackFd = ::open(m_ackPath.c_str(), O_RDWR | O_CLOEXEC);
  std::vector<std::string> perfArgs = {
      "stat", "-x,", "-e", "task-clock", "--control", "fifo:" + m_controlPath + "," + m_ackPath,
      "-D",   "-1",  "-o", m_outPath,    "--",        exe};
  perfArgs.insert(perfArgs.end(), args.begin(), args.end());
  m_process = std::make_unique<ServerProcess>(perf, perfArgs, dir, errPath);
  m_serverPid = FirstChild(m_process->Pid());
}

CountedServer::~CountedServer() {
  m_process.reset();
  if (m_controlFd >= 0) ::close(m_controlFd);
  if (m_ackFd >= 0) ::close(m_ackFd);
  ::unlink(m_controlPath.c_str());
  ::unlink(m_ackPath.c_str());
}

bool CountedServer::Alive() const {
  if (!m_process || !m_process->Running() || m_serverPid <= 0) return false;
  // Under perf the server is perf's child, reaped by perf when it ends.
  return !m_counted || ::kill(m_serverPid, 0) == 0;
}

bool CountedServer::Command(const char* command) {
  if (!m_counted) return false;
  const std::string line = std::string(command) + "\n";
  if (::write(m_controlFd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
    return false;
  pollfd pfd{m_ackFd, POLLIN, 0};
  if (::poll(&pfd, 1, 5000) != 1) return false;
  char ack[16] = {};
  return ::read(m_ackFd, ack, sizeof ack - 1) > 0 && std::strncmp(ack, "ack", 3) == 0;
}

double CountedServer::Finish() {
  if (m_serverPid > 0) ::kill(m_serverPid, SIGTERM);
  // perf prints its count when the server has ended, and then ends itself.
  if (m_process) m_process->WaitExit(10000);
  m_process.reset();
  if (!m_counted) return -1;
  std::ifstream out(m_outPath);
  for (std::string line; std::getline(out, line);) {
    // msec,unit,event,...: "474.41,msec,task-clock,..."
    std::stringstream fields(line);
    std::string value, unit, event;
    std::getline(fields, value, ',');
    std::getline(fields, unit, ',');
    std::getline(fields, event, ',');
    if (event == "task-clock" && unit == "msec") return std::stod(value) / 1000.0;
  }
  return -1;
}
