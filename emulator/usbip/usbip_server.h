#pragma once
// hx7300-emulator's USB/IP export: the virtual HX7300 as a USB device that any Linux host
// with vhci-hcd can attach (`usbip attach -r <host> -b 1-1`), so that the real uvcvideo driver
// carries the utility's transfers.

#include "model/firmware_model.h"
#include "platform/stream_socket.h"

namespace hx::emu {

/// The bus id under which the device is exported.
inline constexpr char kUsbipBusId[] = "1-1";

/// Lists the device to every host that asks and lets one host at a time import it, serving
/// that host's URBs on a thread of its own while further requests are answered (an import
/// while one is served is refused as busy). Runs until stop says so or accepting fails;
/// S_OK when stopped.
HRESULT ServeUsbip(ListeningSocket& listener, FirmwareModel& model, const StopCheck& stop);

}  // namespace hx::emu
