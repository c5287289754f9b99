#pragma once
// The network image update's progress thread: it reads the device's step results, prints one
// line per stage, and lets the handler send its next request through the StepEvent.

#include <atomic>

#include "device/capture_device.h"
#include "platform/auto_reset_event.h"
#include "platform/hresult.h"
#include "protocol/xu_packet.h"

namespace hx {

/// What the handler hands the progress thread. The handler owns it and keeps it, the device
/// and both events valid until it has joined the thread.
struct NetImageProgressContext {
  /// The thread waits on the device's status-interrupt event and reads its replies.
  CDuzuVideoCaptureDevice* device = nullptr;
  /// Auto-reset: set once per step the device accepted.
  CAutoResetEvent* step_event = nullptr;
  /// Set by the handler, followed by a signal of the status event, when it returns before the
  /// thread has ended: the thread then ends at once, printing nothing more.
  std::atomic<bool> stop = false;
  /// How the update ended, written by the thread before it ends: S_OK after the success
  /// stage, else the failed step's Status, or E_FAIL for a step failed by its StepCount alone
  /// (or the read's failure when the device has gone). Read by the handler after the join.
  HRESULT outcome = S_OK;
};

/// Waits for one status interrupt and takes the opcode-4 replies it lists: each is copied,
/// bytes 4..51, into record. Returns the Status of one that carries a Status other than 0 at
/// once; otherwise the result of the last read, or the failure of the wait or the status
/// read. A stop asked for in stop ends it after its wait with E_ABORT.
HRESULT CheckForSuccess(CDuzuVideoCaptureDevice& device, XuPacket& record,
                        const std::atomic<bool>& stop);

/// The thread routine: follows the device's stages until the success stage, a failed step or
/// a stop. Prints the stage lines; sets the step event after each accepted step.
void NetImageProgressThread(NetImageProgressContext& context);

}  // namespace hx
