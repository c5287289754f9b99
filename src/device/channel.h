#pragma once
// The one backend contract of the device: whatever carries the extension unit's controls and
// its status interrupt. CDuzuVideoCaptureDevice owns exactly one channel, chosen at Initialize.
//
// Threading: Open and Close run on the main thread while no other thread uses the channel.
// Set and Get may run on two threads at the same time (one request each in flight); neither
// takes a lock that the other's caller could be holding.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/auto_reset_event.h"
#include "platform/hresult.h"
#include "protocol/xu_packet.h"

namespace hx {

class XuChannel {
 public:
  virtual ~XuChannel() = default;

  /// Opens the path to the extension unit. From then on the channel signals status_event once
  /// per status interrupt; the event outlives the channel. Failures: 0x8007048F when the
  /// device cannot be reached, E_FAIL when what answers is not an HX7300, or the platform's
  /// own code.
  virtual HRESULT Open(CAutoResetEvent& status_event) = 0;
  /// Writes one packet to a control, synchronously. A negative result means it did not reach
  /// the device. No retries, no checks of its own.
  virtual HRESULT Set(std::uint8_t selector, XuConstBytes packet) = 0;
  /// Reads one packet from a control into packet, synchronously; packet is only meaningful
  /// after a result that is not negative.
  virtual HRESULT Get(std::uint8_t selector, XuBytes packet) = 0;
  /// Releases everything Open acquired; safe on a channel that is closed or half open.
  virtual void Close() = 0;
  /// The path of the device that Open reached, as the system or the server names it (UTF-8);
  /// empty before Open and where the channel has none.
  virtual std::string DevicePath() const { return {}; }
};

}  // namespace hx
