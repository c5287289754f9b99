// The Windows build's virtual HX7300 has no HTTP client: a network update against it fails at
// its first stage, saying so, and the run ends with that Status.

#include <gtest/gtest.h>

#include "operations/handlers.h"
#include "support/device_run.h"
#include "support/emulated_device.h"
#include "support/net_image_lines.h"

namespace hx {
namespace {

TEST(NetImageUnavailable, UpdateFailsAtItsFirstStageWithNotSupported) {
  const auto model = test::FaultedModel({});
  ASSERT_NE(model, nullptr);
  test::DeviceRun run(model);
  run.console.QueueHiddenLine(L"1234");
  ModeOptions options;
  options.ModeCode = kModeNetImage;
  options.NetImage.ServerName = "10.0.0.1";
  options.NetImage.UpdateUrl = "manifest.txt";
  options.NetImage.ServerPort = 80;
  EXPECT_EQ(run.Run(HandleNetImageUpdateMode, options), static_cast<HRESULT>(0x80070032));
  EXPECT_EQ(run.console.Output(),
            "\r\nEnter passcode:\r\n" + test::Succeeded("Setting server information") +
                test::Succeeded("Setting URI information") +
                test::Succeeded("Setting port information") +
                "Initializing image update...FAILED!  Error = 0x80070032 (0)\r\n"
                "Image Update failed.\r\n");
}

}  // namespace
}  // namespace hx
