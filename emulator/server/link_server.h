#pragma once
// Serves a firmware model over the virtual device link to one client at a time.

#include "model/firmware_model.h"
#include "platform/stream_socket.h"

namespace hx::emu {

/// Accepts and serves clients until stop says so or accepting fails. The model keeps its state
/// from one client to the next. Returns S_OK when stopped.
HRESULT ServeClients(ListeningSocket& listener, FirmwareModel& model, const StopCheck& stop);

}  // namespace hx::emu
