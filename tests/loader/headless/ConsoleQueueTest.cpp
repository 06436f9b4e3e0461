// Console output that never waits for its reader, and the once-a-second rule.
#include "headless/ConsoleQueue.h"
#include "headless/ProgressThrottle.h"

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

namespace {
/// A 64-byte line (newline included): 64 of them fill a 4 KiB pipe exactly.
std::string Line(const std::string& head) {
  return head + std::string(63 - head.size(), '.');
}

std::string ReadAll(int fd) {
  std::string text;
  char buf[8192];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  return text;
}
}  // namespace

TEST(ConsoleQueue, StalledReaderCostsProgressLinesFirstThenTheOldest) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  ASSERT_EQ(::fcntl(fds[1], F_SETPIPE_SZ, 4096), 4096);
  ASSERT_EQ(::fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
  {
    ConsoleQueue queue(fds[1], 256);
    for (int i = 0; i < 64; ++i) queue.Push(Line("info: " + std::to_string(i)));
    ASSERT_EQ(queue.QueuedBytes(), 0u);  // the pipe took them all
    // Nobody reads now: nothing of this may wait.
    for (const char* head : {"info: 65", "progress: 1/9", "info: 66", "progress: 2/9", "info: 67",
                             "progress: 3/9", "info: 68", "info: 69"}) {
      queue.Push(Line(head));
    }
    EXPECT_EQ(queue.QueuedBytes(), 256u);
    EXPECT_EQ(queue.DroppedLines(), 4u);
    EXPECT_EQ(ReadAll(fds[0]).size(), 4096u);
    queue.Drain(5000);
    EXPECT_EQ(ReadAll(fds[0]), Line("info: 65") + "\n" + Line("info: 67") + "\n" +
                                   Line("info: 68") + "\n" + Line("info: 69") + "\n" +
                                   "warning: 4 lines dropped (output not read)\n");
  }
  ::close(fds[1]);
  ::close(fds[0]);
}

TEST(ConsoleQueue, HeldLinesLeaveAtFlushOrWhenManyWaitAndBeforeTheOtherStreams) {
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
  ASSERT_EQ(::fcntl(fds[1], F_SETPIPE_SZ, 1024 * 1024), 1024 * 1024);
  {
    ConsoleQueue out(fds[1]);
    ConsoleQueue err(fds[1]);
    out.HoldUntilFlush();
    err.WriteAfter(out);
    out.Push("status: a");
    out.Push("progress: 1/2");
    EXPECT_EQ(ReadAll(fds[0]), "");
    out.Flush();
    EXPECT_EQ(ReadAll(fds[0]), "status: a\nprogress: 1/2\n");
    // An error waits for no turn, and the lines made before it go first.
    out.Push("done: x");
    err.Push("error: y");
    EXPECT_EQ(ReadAll(fds[0]), "done: x\nerror: y\n");
    // A turn that makes many lines does not hold more than kConsoleHoldBytes of them.
    std::string many;
    while (many.size() < kConsoleHoldBytes) {
      out.Push(Line("info: " + std::to_string(many.size())));
      many += Line("info: " + std::to_string(many.size())) + "\n";
    }
    EXPECT_EQ(ReadAll(fds[0]), many);
    EXPECT_EQ(out.QueuedBytes(), 0u);
  }
  ::close(fds[1]);
  ::close(fds[0]);
}

TEST(ProgressThrottle, FirstAndLastAlwaysOtherwiseOnceASecond) {
  using V = ProgressThrottle::Verdict;
  ProgressThrottle throttle(false);
  const struct {
    int oldPos, pos, max;
    std::int64_t nowMs;
    V verdict;
  } steps[] = {
      {0, 0, 10, 0, V::Print},    {0, 1, 10, 10, V::Skip},    {1, 2, 10, 999, V::Skip},
      {2, 3, 10, 1000, V::Print}, {3, 4, 10, 1100, V::Skip},  {4, 10, 10, 1200, V::Print},
      {10, 0, 10, 1300, V::End},  {0, 1, 10, 1400, V::Print}, {1, 2, 10, 1500, V::Skip},
      {2, 0, 10, 1600, V::End},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(std::to_string(s.pos) + " at " + std::to_string(s.nowMs));
    EXPECT_EQ(throttle.Admit(s.oldPos, {s.pos, s.max}, s.nowMs), s.verdict);
    if (s.verdict != V::End) continue;
    // A download that stopped short still shows where it stopped.
    const auto skipped = throttle.TakeSkipped();
    EXPECT_EQ(skipped.has_value(), s.nowMs == 1600);
    if (skipped) {
      EXPECT_EQ(skipped->pos, 2);
    }
  }
  ProgressThrottle every(true);
  EXPECT_EQ(every.Admit(1, {2, 10}, 0), V::Print);
}
