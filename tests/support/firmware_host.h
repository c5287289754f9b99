#pragma once
// The host's side of exchanges with a firmware model, for tests of the model: requests built
// as the utility builds them, and the replies read back in the order the device lists them.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "model/firmware_model.h"
#include "protocol/xu_packet.h"

namespace hx::test {

/// A passcode request: Arg1 2 validates text for opcode, Arg1 3 changes the passcode to text.
XuPacket PasscodeRequest(std::uint8_t arg1, std::string_view text, std::uint8_t opcode = 0);

/// A step request of the network update: step, the text field and the port.
XuPacket NetUpdateStep(std::uint16_t step, std::string_view text = {}, std::uint16_t port = 0);

/// Every packet of an upload of bytes into slot index, in order: the info packet; per block its
/// data packets and commit; the flush.
std::vector<XuPacket> UploadPackets(std::uint8_t index, std::span<const std::uint8_t> bytes);

class FirmwareHost {
 public:
  explicit FirmwareHost(emu::FirmwareOptions options = {});

  /// Writes packet on its opcode's selector.
  HRESULT Write(const XuPacket& packet);
  /// Reads every waiting reply, in the order the status packet lists them.
  std::vector<XuPacket> TakeReplies();
  /// Writes each packet and gathers the replies they raise.
  std::vector<XuPacket> Run(std::span<const XuPacket> packets);
  /// The Status of the device's answer to a validation of passcode for opcode.
  std::int32_t Validate(std::string_view passcode, std::uint8_t opcode);
  /// Authorises image updates with the default passcode and uploads bytes into slot index;
  /// the replies.
  std::vector<XuPacket> Upload(std::uint8_t index, std::span<const std::uint8_t> bytes);

  emu::FirmwareModel model;
  int interrupts = 0;
};

}  // namespace hx::test
