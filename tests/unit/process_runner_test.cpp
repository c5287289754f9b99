#include "support/process_runner.h"

#include <gtest/gtest.h>

#include <csignal>

namespace hx::test {
namespace {

TEST(ProcessRunner, PassesEnvironmentAndInputAndCapturesOutputAndStatus) {
  ::setenv("HX7300_RUNNER_UNSET_ME", "present", 1);
  ProcessRun run;
  run.argv = {"/bin/sh", "-c",
              "printf '%s|%s|' \"$HX7300_RUNNER_SET\" \"${HX7300_RUNNER_UNSET_ME-gone}\"; cat; "
              "printf 'oops' >&2; exit 3"};
  run.set_environment = {{"HX7300_RUNNER_SET", "yes"}};
  run.unset_environment = {"HX7300_RUNNER_UNSET_ME"};
  run.stdin_bytes = "typed\r\n";
  const ProcessResult result = RunProcess(run);
  ::unsetenv("HX7300_RUNNER_UNSET_ME");
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.stdout_bytes, "yes|gone|typed\r\n");
  EXPECT_EQ(result.stderr_bytes, "oops");
  EXPECT_EQ(result.exit_status, 3);
}

TEST(ProcessRunner, KillsAProgramAtItsTimeLimitAndReportsIt) {
  ProcessRun run;
  run.argv = {"/bin/sh", "-c", "printf early; exec sleep 30"};
  run.timeout = std::chrono::milliseconds(300);
  const ProcessResult result = RunProcess(run);
  EXPECT_TRUE(result.timed_out);
  EXPECT_EQ(result.signal, SIGKILL);
  EXPECT_EQ(result.exit_status, -1);
  EXPECT_EQ(result.stdout_bytes, "early");

  run.argv = {"/nonexistent/program"};
  EXPECT_FALSE(RunProcess(run).started);
}

}  // namespace
}  // namespace hx::test
