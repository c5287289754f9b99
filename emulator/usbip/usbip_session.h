#pragma once
// One host's import of the virtual HX7300: the URBs its vhci-hcd submits, served in order on
// one thread. Control transfers go to the virtual camera; the interrupt endpoint's URB waits
// for the firmware's next status interrupt (an interrupt raised while none waits is held
// until one comes); the video endpoint's URBs wait until the host takes them back, since
// nothing streams. Every unlink is answered, whether its URB was still waiting or not.

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "model/firmware_model.h"
#include "platform/stream_socket.h"
#include "usb/virtual_camera.h"
#include "usbip/usbip_wire.h"

namespace hx::emu {

class UsbipSession {
 public:
  UsbipSession(StreamSocket socket, FirmwareModel& model);
  UsbipSession(const UsbipSession&) = delete;
  UsbipSession& operator=(const UsbipSession&) = delete;

  /// Serves URBs until the host leaves, sends what the protocol does not know, or stop says
  /// so. The firmware's interrupts are routed to this host meanwhile; when it ends, the model
  /// forgets the connection. The connection stays up until Shutdown.
  void Run(const StopCheck& stop);
  /// Ends the connection, and with it a Run on another thread.
  void Shutdown() { socket_.Shutdown(); }

 private:
  bool ServeNext(const StopCheck& stop);
  bool Submit(const usbip::SubmitCommand& command, const StopCheck& stop);
  bool Control(const usbip::SubmitCommand& command, const std::vector<std::uint8_t>& out_data);
  bool Unlink(const usbip::UnlinkCommand& command);
  bool Park(std::uint32_t sequence);
  void RaiseInterrupt();
  bool DeliverHeldInterrupt();
  bool Send(const usbip::UrbHeaderBytes& header, std::span<const std::uint8_t> data = {});

  StreamSocket socket_;
  FirmwareModel& model_;
  usb::VirtualCamera camera_;

  std::mutex mutex_;  // guards the members below and every write to the host
  struct WaitingUrb {
    std::uint32_t sequence;
    std::uint32_t buffer_length;
  };
  std::optional<WaitingUrb> waiting_interrupt_;  // the interrupt endpoint's URB
  std::set<std::uint32_t> parked_;               // URBs that only an unlink ends
  bool interrupt_held_ = false;
  bool in_control_transfer_ = false;
};

}  // namespace hx::emu
