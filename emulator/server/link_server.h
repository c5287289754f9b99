#pragma once
// Serves a firmware model over the virtual device link to one client at a time.

#include <chrono>

#include "model/firmware_model.h"
#include "platform/stream_socket.h"

namespace hx::emu {

/// Accepts and serves clients until stop says so or accepting fails. The model keeps its state
/// from one client to the next. A client that sends no request for idle_timeout (0: no limit)
/// is closed, with a line on standard error, and the device is free for the next at once.
/// Returns S_OK when stopped.
HRESULT ServeClients(ListeningSocket& listener, FirmwareModel& model,
                     std::chrono::seconds idle_timeout, const StopCheck& stop);

}  // namespace hx::emu
