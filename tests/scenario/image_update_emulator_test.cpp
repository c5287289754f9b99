// The utility's image update against the in-process virtual device: what reaches the slots and
// what the operator sees.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "device/emulator/emulator_channel.h"
#include "operations/handlers.h"
#include "protocol/image_slots.h"
#include "support/recording_console.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using test::PatternBytes;

class EmulatedImageUpdate {
 public:
  /// input: what standard input holds, for the size confirmation.
  explicit EmulatedImageUpdate(emu::FirmwareOptions firmware = {}, std::string input = {})
      : model(std::make_shared<emu::FirmwareModel>(std::move(firmware))),
        console(std::move(input)),
        scoped_(console),
        device_([m = model](std::unique_ptr<XuChannel>& out) {
          out = std::make_unique<EmulatorChannel>(m);
          return S_OK;
        }) {
    EXPECT_EQ(device_.Initialize(), S_OK);
  }

  /// Runs the img mode for slot index with passcode typed at the prompt.
  HRESULT Run(std::int32_t index, const std::vector<std::uint8_t>& image,
              const std::vector<std::uint8_t>& signature, const std::wstring& passcode = L"1234") {
    const std::wstring image_file = dir_.Write("image.bin", image).wstring();
    const std::wstring signature_file = dir_.Write("image.cat", signature).wstring();
    ModeOptions options;
    options.ModeCode = kModeImage;
    options.Image = {index, image_file.c_str(), signature_file.c_str()};
    console.QueueHiddenLine(passcode);
    return HandleImageUpdateMode(options, device_);
  }

  std::shared_ptr<emu::FirmwareModel> model;
  test::RecordingConsole console;

 private:
  ScopedConsole scoped_;
  CDuzuVideoCaptureDevice device_;
  test::TempDir dir_;
};

TEST(ImageUpdateOnEmulator, FailedBlockEchoBecomesTheResultAndLeavesTheSlotAlone) {
  const auto image = PatternBytes(3 * kBlockSize, 4);
  const HRESULT injected = static_cast<HRESULT>(0x8007001Fu);
  EmulatedImageUpdate echo(
      emu::FirmwareOptions{.faults = {.echo_status = emu::EchoStatusFault{injected, 1}}});
  EXPECT_EQ(echo.Run(kConfigImageIndex, image, {}), injected);
  EXPECT_EQ(echo.model->SlotContents(kConfigImageIndex), std::nullopt);
}

TEST(ImageUpdateOnEmulator, ALinkLostMidwayLeavesNeitherHalfAnImageNorItsStagingFile) {
  test::TempDir state;
  EmulatedImageUpdate run(emu::FirmwareOptions{.state_dir = state.Path().string(),
                                               .faults = {.disconnect_after = 150}});
  EXPECT_EQ(run.Run(kConfigImageIndex, PatternBytes(5 * kBlockSize), {}), kHrDeviceNotConnected);
  EXPECT_FALSE(std::filesystem::exists(state.Path() / "QVCONFIG.XML"));
  EXPECT_FALSE(std::filesystem::exists(state.Path() / "QVCONFIG.TMP"));
}

}  // namespace
}  // namespace hx
