// Devices that never answer: a DSP without a reply, after which the read gives up after ten
// polls of three seconds, and a device that answers no transfer at all.

#include <gtest/gtest.h>

#include <chrono>

#include "support/process_runner.h"
#include "support/programs.h"

namespace hx {
namespace {

using Clock = std::chrono::steady_clock;

// Runs the DAA read against an emulator with the fault; how long it took.
Clock::duration TimedDaaRead(const std::string& fault, test::ProcessResult& result) {
  test::EmulatorProcess emulator(test::EmulatorBinary(), {"--fault", fault});
  EXPECT_TRUE(emulator.Started());
  test::ProcessRun run;
  run.argv = {test::HxBinary(), "-m:daa", "-r"};
  run.set_environment["HX7300_DEVICE"] = emulator.Address();
  run.timeout = std::chrono::seconds(45);
  const auto started = Clock::now();
  result = test::RunProcess(run);
  return Clock::now() - started;
}

TEST(DaaReadSlow, GivesUpAfterTenSilentPolls) {
  test::ProcessResult result;
  const auto took = TimedDaaRead("no-reply=15", result);
  EXPECT_EQ(result.stdout_bytes, test::ReportLine(static_cast<HRESULT>(0x800705B4)));
  EXPECT_EQ(result.exit_status, 0xB4);
  EXPECT_GE(took, std::chrono::seconds(29));
  EXPECT_LT(took, std::chrono::seconds(35));
}

TEST(DaaReadSlow, AServedDeviceThatStopsAnsweringFailsTheRunAfterFiveSeconds) {
  test::ProcessResult result;
  const auto took = TimedDaaRead("silent-after=0", result);
  EXPECT_EQ(result.stdout_bytes, test::ReportLine(static_cast<HRESULT>(0x800705B4)));
  EXPECT_EQ(result.exit_status, 0xB4);
  EXPECT_GE(took, std::chrono::milliseconds(4900));
  EXPECT_LT(took, std::chrono::seconds(8));
}

}  // namespace
}  // namespace hx
