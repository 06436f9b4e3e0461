// CPU time as the benchmark counts it: the whole machine's busy time from
// /proc/stat, the benchmark's own time from getrusage, and one process's time
// (with its reaped children) from /proc/<pid>/stat.
#pragma once

#include <sys/types.h>

#include <string>

/// Seconds of CPU the whole machine spent busy (every state but idle and iowait).
double MachineBusySeconds();
/// Seconds of CPU this process spent (user and system).
double OwnCpuSeconds();
/// Seconds of CPU of pid and of the children it has reaped; -1 when unreadable.
double ProcessCpuSeconds(pid_t pid);
/// A value of /proc/<pid>/status in kB (VmHWM, VmRSS); -1 when unreadable.
long ProcessStatusKb(pid_t pid, const std::string& key);
