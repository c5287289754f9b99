// image_upload_bench's command line: what it cannot use is refused with its usage, never
// guessed at.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/process_runner.h"

namespace hx {
namespace {

const std::string kBench = std::string(HX7300_BINARY_DIR) + "/image_upload_bench";
const std::string kUsageLine =
    "usage: image_upload_bench [--latency-us N] [--sizes-mib N[,N...]] [--log FILE]\n";

class BenchOptions : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef HX7300_BENCH_BUILT
    GTEST_SKIP() << "this preset does not build the benchmark";
#endif
  }
};

TEST_F(BenchOptions, HelpPrintsTheUsage) {
  const test::ProcessResult help = test::RunProcess({.argv = {kBench, "--help"}});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_TRUE(help.stdout_bytes.starts_with(kUsageLine)) << help.stdout_bytes;
  EXPECT_EQ(help.stderr_bytes, "");
}

TEST_F(BenchOptions, WhatCannotBeUsedIsRefusedWithTheUsage) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--latency"}, "unknown option '--latency'"},
      {{"--sizes-mib", "1", "8"}, "unknown option '8'"},
      {{"--latency-us"}, "option '--latency-us' needs a value"},
      {{"--latency-us", "fast"},
       "--latency-us takes a whole number of microseconds from 0 to 1000000, not 'fast'"},
      {{"--latency-us", "-5"},
       "--latency-us takes a whole number of microseconds from 0 to 1000000, not '-5'"},
      {{"--sizes-mib", "1,x"}, "--sizes-mib takes sizes from 1 to 4095 MiB, not 'x'"},
      {{"--sizes-mib", "0"}, "--sizes-mib takes sizes from 1 to 4095 MiB, not '0'"},
      {{"--sizes-mib", "8,"}, "--sizes-mib takes sizes from 1 to 4095 MiB, not ''"},
      {{"--record", ""}, "--record takes the name of a file"},
  };
  for (const auto& [args, reason] : cases) {
    SCOPED_TRACE(reason);
    std::vector<std::string> argv = {kBench};
    argv.insert(argv.end(), args.begin(), args.end());
    const test::ProcessResult refused = test::RunProcess({.argv = argv});
    EXPECT_EQ(refused.exit_status, 2);
    std::string expected = "image_upload_bench: " + reason;
    expected += "\n";
    expected += kUsageLine;
    EXPECT_TRUE(refused.stderr_bytes.starts_with(expected)) << refused.stderr_bytes;
    EXPECT_EQ(refused.stdout_bytes, "");
  }
}

}  // namespace
}  // namespace hx
