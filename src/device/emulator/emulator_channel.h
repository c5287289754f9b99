#pragma once
// The in-process virtual HX7300: transfers go straight to a firmware model, carrying the
// model's link latency, one at a time as on a USB control pipe.

#include <atomic>
#include <memory>
#include <mutex>

#include "device/channel.h"
#include "model/firmware_model.h"

namespace hx {

class EmulatorChannel final : public XuChannel {
 public:
  /// A channel to model, which tests may keep to inspect or to share between channels.
  explicit EmulatorChannel(std::shared_ptr<emu::FirmwareModel> model);
  ~EmulatorChannel() override;

  HRESULT Open(CAutoResetEvent& status_event) override;
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override;
  HRESULT Get(std::uint8_t selector, XuBytes packet) override;
  void Close() override;

 private:
  template <typename Transfer>
  HRESULT Carry(Transfer&& transfer);
  void Break();
  void AcquireBus();

  std::shared_ptr<emu::FirmwareModel> model_;
  CAutoResetEvent* status_event_ = nullptr;
  std::mutex bus_mutex_;  // one control transfer at a time
  std::atomic<bool> open_{false};
  std::atomic<bool> broken_{false};
};

}  // namespace hx
