// Lines for systemd's journal: whether a standard stream is the journal's own
// stream, and the syslog priority each kind of console line carries there.
#pragma once

#include <string_view>

/// Syslog priorities of the console lines.
inline constexpr int kPriorityError = 3;
inline constexpr int kPriorityWarning = 4;
inline constexpr int kPriorityInfo = 6;
inline constexpr int kPriorityDebug = 7;

/// True when $JOURNAL_STREAM ("<device>:<inode>") names the file fd writes to:
/// systemd connected it to the journal, which reads a leading "<N>" as the
/// line's priority.
bool IsJournalStream(int fd);

/// The priority of a console line by its tag: "error:" 3; "warning:",
/// "failed:" and "message:" 4; "progress:" and "session:" 7; every other line
/// (info, port, status, done) 6.
int LinePriority(std::string_view line);

/// progress: and session: lines: the first to go when the console does not keep up.
bool IsProgressLine(std::string_view line);
