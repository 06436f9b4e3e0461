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
