// Start-up check of the network layer.
#include "comm/SocketStartup.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

TEST(SocketStartup, SucceedsWhereSocketsCanBeMade) {
  EXPECT_TRUE(InitSockets());
}

TEST(SocketStartup, FailsWhenNoDescriptorIsLeft) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // No descriptor number is allowed any more, so no socket can be made.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = 0;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::_exit(InitSockets() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "InitSockets succeeded without any descriptor";
}

TEST(SocketStartup, DescriptorLimitIsRaisedToTheHardLimit) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // A low soft limit under a higher hard one, as a login shell's 1 024.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_max <= 64) ::_exit(2);
    limit.rlim_cur = 64;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(3);
    const std::uint64_t now = RaiseDescriptorLimit();
    ::getrlimit(RLIMIT_NOFILE, &limit);
    ::_exit(limit.rlim_cur == limit.rlim_max && now == limit.rlim_cur ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "hard limit too low to lower the soft one";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "soft limit not raised to the hard limit";
}
