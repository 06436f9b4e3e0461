// CPU time and memory as the benchmark reads them: the whole machine's busy
// time from /proc/stat, the benchmark's own time from getrusage, a process's
// resident memory from /proc/<pid>/status.
#pragma once

#include <sys/types.h>

#include <string>

/// Seconds of CPU the whole machine spent busy (every state but idle and iowait).
double MachineBusySeconds();
/// Seconds of CPU this process spent (user and system).
double OwnCpuSeconds();
/// A value of /proc/<pid>/status in kB (VmHWM, VmRSS); -1 when unreadable.
long ProcessStatusKb(pid_t pid, const std::string& key);
