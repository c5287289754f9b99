// A DSP that never answers: the read gives up after ten polls of three seconds.

#include <gtest/gtest.h>

#include "support/process_runner.h"
#include "support/programs.h"

namespace hx {
namespace {

TEST(DaaReadSlow, GivesUpAfterTenSilentPolls) {
  test::EmulatorProcess emulator(test::EmulatorBinary(), {"--fault", "no-reply=15"});
  ASSERT_TRUE(emulator.Started());
  test::ProcessRun run;
  run.argv = {test::HxBinary(), "-m:daa", "-r"};
  run.set_environment["HX7300_DEVICE"] = emulator.Address();
  run.timeout = std::chrono::seconds(45);
  const auto started = std::chrono::steady_clock::now();
  const test::ProcessResult result = test::RunProcess(run);
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(result.stdout_bytes, test::ReportLine(static_cast<HRESULT>(0x800705B4)));
  EXPECT_EQ(result.exit_status, 0xB4);
  EXPECT_GE(took, std::chrono::seconds(29));
  EXPECT_LT(took, std::chrono::seconds(35));
}

}  // namespace
}  // namespace hx
