#pragma once
// The virtual HX7300's USB device: its default control pipe (standard requests, the video
// class requests of the extension unit, the streaming controls and the request error code)
// over a firmware model, and the status packet its interrupt endpoint sends per interrupt.
// Used by one thread at a time.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "model/firmware_model.h"
#include "usb/camera_descriptors.h"

namespace hx::emu::usb {

/// The eight bytes that open a control transfer.
struct SetupPacket {
  std::uint8_t request_type = 0;
  std::uint8_t request = 0;
  std::uint16_t value = 0;
  std::uint16_t index = 0;
  std::uint16_t length = 0;

  static SetupPacket FromBytes(std::span<const std::uint8_t, 8> bytes);
  std::array<std::uint8_t, 8> Bytes() const;
  bool IsIn() const { return (request_type & 0x80) != 0; }
};

/// How the device ends a control transfer.
struct ControlOutcome {
  enum class Kind {
    kDone,        ///< completed; an IN transfer returns data
    kStall,       ///< refused with a stall
    kUnanswered,  ///< the device has stopped answering: the transfer never completes
  };
  Kind kind = Kind::kDone;
  std::vector<std::uint8_t> data{};  ///< IN: the bytes returned, at most wLength
};

class VirtualCamera {
 public:
  explicit VirtualCamera(FirmwareModel& model);

  /// Carries out one control transfer; out_data holds the data stage of an OUT transfer.
  ControlOutcome Control(const SetupPacket& setup, std::span<const std::uint8_t> out_data);
  /// The status packet of one status interrupt: a value change of the status control.
  static std::array<std::uint8_t, kStatusPacketSize> StatusInterrupt();

 private:
  ControlOutcome Standard(const SetupPacket& setup);
  ControlOutcome ControlInterfaceRequest(const SetupPacket& setup,
                                         std::span<const std::uint8_t> out_data);
  ControlOutcome ExtensionUnitRequest(const SetupPacket& setup,
                                      std::span<const std::uint8_t> out_data);
  ControlOutcome StreamingRequest(const SetupPacket& setup, std::span<const std::uint8_t> out_data);
  ControlOutcome Stall(std::uint8_t request_error);
  ControlOutcome Done(const SetupPacket& setup, std::vector<std::uint8_t> data = {});

  FirmwareModel& model_;
  std::uint8_t request_error_ = 0;
  std::array<std::uint8_t, kProbeControlSize> probe_;
  std::array<std::uint8_t, kProbeControlSize> commit_;
};

}  // namespace hx::emu::usb
