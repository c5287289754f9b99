#include "device/emulator/emulator_channel.h"

#include <chrono>
#include <thread>

#include "device/backends.h"

namespace hx {
namespace {

using Clock = std::chrono::steady_clock;

// Sleeping is only accurate to tens of microseconds; the rest of a delay is spent spinning so
// that short transfers keep their length to about a microsecond.
constexpr auto kSpinMargin = std::chrono::microseconds(200);

void WaitUntil(Clock::time_point deadline) {
  const auto sleep_until = deadline - kSpinMargin;
  if (Clock::now() < sleep_until) {
    std::this_thread::sleep_until(sleep_until);
  }
  while (Clock::now() < deadline) {
  }
}

}  // namespace

EmulatorChannel::EmulatorChannel(std::shared_ptr<emu::FirmwareModel> model)
    : model_(std::move(model)) {}

EmulatorChannel::~EmulatorChannel() {
  Close();
}

HRESULT EmulatorChannel::Open(CAutoResetEvent& status_event) {
  status_event_ = &status_event;
  model_->SetInterruptSink([event = status_event_] { event->Set(); });
  open_ = true;
  return S_OK;
}

template <typename Transfer>
HRESULT EmulatorChannel::Carry(Transfer&& transfer) {
  if (!open_) {
    return kHrDeviceNotReady;
  }
  if (broken_) {
    return kHrDeviceNotConnected;
  }
  // In process there is no driver to wait for: a device that has stopped answering fails the
  // transfer as a driver's time-out would.
  if (model_->Silent()) {
    return kHrTimeout;
  }
  HRESULT hr;
  {
    AcquireBus();
    std::lock_guard bus(bus_mutex_, std::adopt_lock);
    const auto deadline = Clock::now() + model_->TransferLatency();
    hr = transfer();
    WaitUntil(deadline);
  }
  if (model_->TakeDisconnect()) {
    Break();
  }
  return hr;
}

void EmulatorChannel::AcquireBus() {
  // The other thread's transfer ends within one latency: waiting for it by watching the lock
  // hands the bus over at once, where sleeping on it would add a wake-up to every hand-over.
  static const bool watching_pays = std::thread::hardware_concurrency() > 1;
  const auto give_up = Clock::now() + model_->TransferLatency() + kSpinMargin;
  while (!bus_mutex_.try_lock()) {
    if (!watching_pays || Clock::now() > give_up) {
      bus_mutex_.lock();
      return;
    }
  }
}

HRESULT EmulatorChannel::Set(std::uint8_t selector, XuConstBytes packet) {
  return Carry([&] { return model_->HandleSet(selector, packet); });
}

HRESULT EmulatorChannel::Get(std::uint8_t selector, XuBytes packet) {
  return Carry([&] { return model_->HandleGet(selector, packet); });
}

void EmulatorChannel::Break() {
  if (!broken_.exchange(true)) {
    model_->ConnectionEnded();
    // As when a real link drops: a loop waiting for an interrupt goes on to meet the failure.
    status_event_->Set();
  }
}

void EmulatorChannel::Close() {
  if (open_.exchange(false)) {
    model_->SetInterruptSink({});
    model_->ConnectionEnded();
  }
}

std::unique_ptr<XuChannel> MakeEmulatorChannel() {
  return std::make_unique<EmulatorChannel>(std::make_shared<emu::FirmwareModel>());
}

}  // namespace hx
