// CPU and memory figures read from /proc and getrusage.
#include "CpuMeter.h"

#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <vector>

namespace {
double TicksPerSecond() {
  static const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  return ticks;
}
double Seconds(const timeval& tv) {
  return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}
}  // namespace

double MachineBusySeconds() {
  std::ifstream stat("/proc/stat");
  std::string cpu;
  stat >> cpu;  // the first line sums every CPU
  std::vector<unsigned long long> fields;
  unsigned long long value = 0;
  for (int i = 0; i < 8 && stat >> value; ++i) fields.push_back(value);
  if (cpu != "cpu" || fields.size() < 8) return -1;
  // user nice system idle iowait irq softirq steal
  const unsigned long long busy =
      fields[0] + fields[1] + fields[2] + fields[5] + fields[6] + fields[7];
  return static_cast<double>(busy) / TicksPerSecond();
}

double OwnCpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

long ProcessStatusKb(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  }
  return -1;
}
