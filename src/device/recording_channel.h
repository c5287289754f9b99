#pragma once
// A channel that records every transfer and status interrupt of the channel it wraps, whatever
// backend that is (HX7300_RECORD).

#include <memory>

#include "device/channel.h"
#include "device/transfer_recording.h"

namespace hx {

/// inner, with its traffic written to recording as it passes. The inner channel signals an
/// event of the recording channel's own, which a thread of its own forwards to the device's
/// event once each signal is recorded; so a signal that the kernel sets directly is recorded
/// too. Same threading as inner.
std::unique_ptr<XuChannel> MakeRecordingChannel(std::unique_ptr<XuChannel> inner,
                                                std::shared_ptr<TransferRecording> recording);

}  // namespace hx
