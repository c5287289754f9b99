#include "support/device_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

#include "device/emulator/emulator_channel.h"
#include "operations/handlers.h"

namespace hx::test {

// Carries transfers to the double until the run cuts it off; from then on every transfer
// fails as on a device that has left, so that code waiting for the device meets a failure.
class DeviceRun::SeverableChannel final : public XuChannel {
 public:
  explicit SeverableChannel(XuChannel& inner) : inner_(inner) {}

  HRESULT Open(CAutoResetEvent& status_event) override { return inner_.Open(status_event); }
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override {
    return cut_ ? kHrDeviceNotConnected : inner_.Set(selector, packet);
  }
  HRESULT Get(std::uint8_t selector, XuBytes packet) override {
    return cut_ ? kHrDeviceNotConnected : inner_.Get(selector, packet);
  }
  void Close() override { inner_.Close(); }
  void Cut() { cut_ = true; }

 private:
  XuChannel& inner_;
  std::atomic<bool> cut_{false};
};

DeviceRun::DeviceRun(std::string input)
    : DeviceRun(std::make_unique<ScriptedChannel>(), std::move(input)) {}

DeviceRun::DeviceRun(std::shared_ptr<emu::FirmwareModel> model, std::string input)
    : DeviceRun(std::make_unique<EmulatorChannel>(std::move(model)), std::move(input)) {}

DeviceRun::DeviceRun(std::unique_ptr<XuChannel> channel, std::string input)
    : console(std::move(input)),
      scoped_(console),
      double_(std::move(channel)),
      device_([this](std::unique_ptr<XuChannel>& out) {
        auto severable = std::make_unique<SeverableChannel>(*double_);
        channel_ = severable.get();
        out = std::move(severable);
        return S_OK;
      }) {
  EXPECT_EQ(device_.Initialize(), S_OK) << "the device did not open";
}

DeviceRun::~DeviceRun() = default;

HRESULT DeviceRun::Run(std::string_view what,
                       const std::function<HRESULT(CDuzuVideoCaptureDevice&)>& code) {
  std::packaged_task<HRESULT()> task([&] { return code(device_); });
  std::future<HRESULT> result = task.get_future();
  std::thread thread(std::move(task));
  if (result.wait_for(kRunLimit) != std::future_status::ready) {
    ADD_FAILURE() << what << " had not returned after " << kRunLimit.count()
                  << " s: the device is cut off to end it";
    BreakFree(what, result);
  }
  thread.join();
  return result.get();
}

// The code may wait more than once (a loop, a second thread of its own): the status event is
// signalled again until it has returned.
void DeviceRun::BreakFree(std::string_view what, const std::future<HRESULT>& result) {
  channel_->Cut();
  const auto give_up = std::chrono::steady_clock::now() + kRunLimit;
  do {
    device_.StatusEvent().Set();
    if (result.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready) {
      return;
    }
  } while (std::chrono::steady_clock::now() < give_up);
  std::fprintf(stderr, "%.*s did not return even on a device cut off for %lld s\n",
               static_cast<int>(what.size()), what.data(),
               static_cast<long long>(kRunLimit.count()));
  std::abort();
}

HRESULT DeviceRun::Run(ModeHandler handler, const ModeOptions& options) {
  const std::pair<ModeHandler, std::string_view> names[] = {
      {HandleImageUpdateMode, "HandleImageUpdateMode"},
      {HandleDiagServerConfig, "HandleDiagServerConfig"},
      {HandleNetImageUpdateMode, "HandleNetImageUpdateMode"},
      {HandleSystemConfigMode, "HandleSystemConfigMode"},
      {HandleDAAReadMode, "HandleDAAReadMode"},
  };
  std::string_view what = "the mode handler";
  for (const auto& [known, name] : names) {
    if (known == handler) {
      what = name;
    }
  }
  return Run(what, [&](CDuzuVideoCaptureDevice& device) { return handler(options, device); });
}

}  // namespace hx::test
