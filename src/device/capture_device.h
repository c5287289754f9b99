#pragma once
// The utility's one connection to the device: the extension unit's controls and its status
// interrupt, reached through the backend that HX7300_DEVICE selects.

#include <cstdint>
#include <functional>
#include <memory>

#include "device/channel.h"
#include "device/transfer_recording.h"
#include "platform/auto_reset_event.h"
#include "platform/hresult.h"
#include "protocol/xu_packet.h"

namespace hx {

/// Makes the channel that Initialize opens. The default reads HX7300_DEVICE.
using ChannelFactory = std::function<HRESULT(std::unique_ptr<XuChannel>& channel)>;

class CDuzuVideoCaptureDevice {
 public:
  /// An empty, closed device whose Initialize chooses the backend from HX7300_DEVICE.
  CDuzuVideoCaptureDevice();
  /// An empty, closed device whose Initialize opens the channel that factory makes (tests).
  explicit CDuzuVideoCaptureDevice(ChannelFactory factory);
  ~CDuzuVideoCaptureDevice();
  CDuzuVideoCaptureDevice(const CDuzuVideoCaptureDevice&) = delete;
  CDuzuVideoCaptureDevice& operator=(const CDuzuVideoCaptureDevice&) = delete;

  /// Before Initialize: every transfer and status interrupt of the channel is written to
  /// recording as well (HX7300_RECORD).
  void RecordTransfers(std::shared_ptr<TransferRecording> recording) {
    recording_ = std::move(recording);
  }

  /// Creates the status-interrupt event, then selects and opens the channel. A result that is
  /// not negative means the channel is open. Called once per object, on the main thread.
  HRESULT Initialize();
  /// Writes one 52-byte packet to a control. 0x80070015 on a device that is not open.
  HRESULT SetXU(std::uint32_t selector, XuConstBytes packet);
  /// Reads one 52-byte packet from a control. 0x80070015 on a device that is not open.
  HRESULT GetXU(std::uint32_t selector, XuBytes packet);
  /// Closes the channel; safe on a closed or half-open device, and safe twice.
  void Uninitialize();

  /// Signalled once per status interrupt; auto-reset. One thread at a time waits on it.
  CAutoResetEvent& StatusEvent() { return status_event_; }

 private:
  ChannelFactory factory_;
  std::shared_ptr<TransferRecording> recording_;
  CAutoResetEvent status_event_;
  std::unique_ptr<XuChannel> channel_;
  bool open_ = false;
};

}  // namespace hx
