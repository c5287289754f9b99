// Whole operations through the uvcvideo backend, with a scripted kernel that carries the
// control queries to the virtual HX7300's firmware and turns its interrupts into control
// events: what the operator sees and what reaches the slots, with the image transfer's two
// threads sharing the node.
#include <gtest/gtest.h>
#include <linux/usb/video.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "device/linux/uvc_channel.h"
#include "linux/fake_sysfs.h"
#include "linux/scripted_kernel.h"
#include "model/firmware_model.h"
#include "operations/handlers.h"
#include "operations/mode_options.h"
#include "protocol/image_slots.h"
#include "support/device_pieces.h"
#include "support/device_run.h"
#include "support/http_test_server.h"
#include "support/net_image_lines.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using Clock = std::chrono::steady_clock;

class UvcBackendScenario {
 public:
  explicit UvcBackendScenario(bool force_polling = false, emu::FirmwareOptions firmware = {})
      : kernel_(std::make_shared<test::ScriptedKernel>()),
        model_(std::move(firmware), test::EmulatorPieces()) {
    sysfs_.AddNode(0);
    kernel_->AddNode("/dev/video0", {});
    kernel_->OnTransfer(
        [this](std::uint8_t selector, std::uint8_t query, std::span<std::uint8_t> data) {
          const auto packet = data.first<kXuPacketSize>();
          const HRESULT hr = query == UVC_SET_CUR ? model_.HandleSet(selector, packet)
                                                  : model_.HandleGet(selector, packet);
          return FAILED(hr) ? -EPIPE : 0;
        });
    model_.SetInterruptSink([this] { kernel_->RaiseEvent(); });
    run_.emplace(std::make_unique<uvc::UvcChannel>(
        kernel_, uvc::UvcChannelOptions{.sysfs_root = sysfs_.Root().string(),
                                        .force_polling = force_polling}));
  }
  ~UvcBackendScenario() { model_.SetInterruptSink({}); }

  HRESULT ReadDaa() {
    ModeOptions options;
    options.ModeCode = kModeDaa;
    options.Daa.DaaRequest = 1;
    return run_->Run(HandleDAAReadMode, options);
  }
  HRESULT Upload(std::int32_t index, const std::vector<std::uint8_t>& image) {
    const std::wstring file = dir_.Write("image.bin", image).wstring();
    ModeOptions options;
    options.ModeCode = kModeImage;
    options.Image = {index, file.c_str(), nullptr};
    run_->console.QueueHiddenLine(L"1234");
    return run_->Run(HandleImageUpdateMode, options);
  }

  HRESULT UpdateFromNetwork(std::uint16_t port, const std::string& url) {
    ModeOptions options;
    options.ModeCode = kModeNetImage;
    options.NetImage = {"127.0.0.1", port, url};
    run_->console.QueueHiddenLine(L"1234");
    return run_->Run(HandleNetImageUpdateMode, options);
  }

  std::string Output() const { return run_->console.Output(); }
  test::ScriptedKernel& Kernel() { return *kernel_; }
  emu::FirmwareModel& Model() { return model_; }

 private:
  test::FakeSysfs sysfs_;
  test::TempDir dir_;
  std::shared_ptr<test::ScriptedKernel> kernel_;
  emu::FirmwareModel model_;
  std::optional<test::DeviceRun> run_;
};

TEST(UvcBackendScenario, DaaReadPrintsTheSettingsThroughEventsAndThroughPolling) {
  for (const bool polling : {false, true}) {
    UvcBackendScenario scenario(polling);
    EXPECT_EQ(scenario.ReadDaa(), S_OK);
    EXPECT_NE(scenario.Output().find("           High Mag     : 3400\r\n"), std::string::npos)
        << scenario.Output();
  }
}

TEST(UvcBackendScenario, AnImageArrivesWholeWhileTwoThreadsShareTheNode) {
  UvcBackendScenario scenario;
  const auto image = test::PatternBytes(5 * kBlockSize + 100, 3);
  EXPECT_EQ(scenario.Upload(kConfigImageIndex, image), S_OK);
  EXPECT_EQ(scenario.Model().SlotContents(kConfigImageIndex), image);
  EXPECT_TRUE(scenario.Output().ends_with("Image Update completed.\r\n"));
}

// Polling must not wake the progress thread without a step result: it would print the last
// stage again and let the next step go before the device accepted the one before.
TEST(UvcBackendScenario, NetworkUpdatePrintsEachStageOnceThroughEventsAndThroughPolling) {
  const auto image = test::PatternBytes(200000, 5);
  test::HttpTestServer server(
      {{"/manifest.txt", {'N', 'K', '.', 'B', 'I', 'N', ' ', 'n', 'k'}}, {"/nk", image}});
  ASSERT_TRUE(server.Started());
  for (const bool polling : {false, true}) {
    UvcBackendScenario scenario(polling, {.net_update_pace = {.stage_delay_ms = 30}});
    EXPECT_EQ(scenario.UpdateFromNetwork(server.Port(), "manifest.txt"), S_OK);
    std::vector<int> percents;
    EXPECT_EQ(test::WithoutProgress(scenario.Output(), "<back>", percents),
              "\r\nEnter passcode:\r\n" + test::LinesUntilDownload() + test::LinesAfterDownload())
        << "polling " << polling;
    EXPECT_EQ(scenario.Model().SlotContents(kMainImageIndex), image);
  }
}

TEST(UvcBackendScenario, ADeviceLeavingWhileTheReadWaitsEndsItAtOnce) {
  UvcBackendScenario scenario(false, {.faults = {.no_reply = {15}}});
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    scenario.Kernel().Unplug();
  });
  const auto started = Clock::now();
  EXPECT_EQ(scenario.ReadDaa(), kHrDeviceNotConnected);
  // Not the three seconds of the DAA read's wait: the device's departure signals the loop.
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
  unplug.join();
}

}  // namespace
}  // namespace hx
