#pragma once
// What a virtual HX7300 is started with: its identity, the values it holds, and the faults it
// is told to show.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/config_faults.h"
#include "model/net_update_options.h"

namespace hx::emu {

/// The telephone-line interface settings the DSP reports (the DAA settings record).
struct DaaValues {
  std::uint8_t group_id = 1;
  std::uint8_t record_byte3 = 0x5A;  ///< never printed by the utility, covered by the checksum
  std::uint8_t gcr = 2;
  std::uint8_t ictrl1_voice = 0x0A;
  std::uint8_t ictrl2_voice = 0x3C;
  std::uint8_t ictrl3_voice = 0x01;
  std::uint8_t ictrl1_dtmf = 0x0B;
  std::uint8_t ictrl2_dtmf = 0x2C;
  std::uint8_t ictrl3_dtmf = 0x02;
  std::uint8_t lvcs_check = 1;
  std::uint16_t low_mag = 300;
  std::uint16_t high_mag = 3400;
};

/// A message the device puts in a status packet instead of the list of waiting replies.
struct DeviceMessageFault {
  enum class Form { kEfs, kCodedText, kPlainText };
  Form form = Form::kPlainText;
  std::uint32_t code = 0xFF;  ///< E (its low byte is forced to 0xFE/0xFF) or the coded text's code
  std::uint16_t f = 0;        ///< E:F:S form only
  std::uint16_t s = 0;        ///< E:F:S form only
  std::string text{};         ///< text forms only; cut to the room the packet has
};

/// A transfer the device refuses with result instead of carrying it out.
struct TransferFault {
  enum class Direction { kSet, kGet };
  Direction direction = Direction::kSet;
  std::uint8_t selector = 0;
  std::int32_t result = 0;
  std::uint32_t nth = 0;  ///< 0: every matching transfer; n: only the n-th one (from 1)
};

/// A Status the echo of a block commit carries instead of the device's own verdict.
struct EchoStatusFault {
  std::int32_t status = 0;
  std::optional<std::uint16_t> block{};  ///< only this block's echo; none: every block's
};

/// Faults to inject. The defaults inject none.
struct FaultPlan {
  bool daa_bad_checksum = false;        ///< the DAA reply's checksum is off by one
  std::uint32_t daa_other_records = 0;  ///< DSP replies of another record type first
  std::vector<std::uint8_t>
      extra_replies{};                ///< replies of these opcodes queued before each answer
  bool no_interrupts = false;         ///< replies queue silently
  std::uint32_t drop_interrupts = 0;  ///< the first N interrupts are not raised
  bool duplicate_interrupts = false;  ///< every interrupt is raised twice
  std::optional<DeviceMessageFault> device_message{};  ///< given by the next status read, once
  std::vector<TransferFault> transfer_faults{};
  std::map<std::uint8_t, std::int32_t> failure_status{};  ///< opcode -> Status of its replies
  std::set<std::uint8_t> no_reply{};                      ///< opcodes whose requests go unanswered
  std::uint32_t latency_us = 0;                           ///< added to every transfer
  std::optional<std::uint64_t> disconnect_after{};        ///< the link drops after N transfers
  std::optional<std::uint64_t> silent_after{};  ///< transfers after the first N go unanswered
  // Image transfer. A failure Status ends the transfer on the device as well: nothing of it
  // reaches a slot.
  std::optional<std::int32_t> info_status{};     ///< an accepted image info is answered with it
  std::optional<EchoStatusFault> echo_status{};  ///< see EchoStatusFault
  std::optional<std::int32_t> flush_status{};    ///< the flush echo carries it; nothing committed
  std::optional<std::uint64_t> corrupt_after{};  ///< the data packet after the first N is
                                                 ///< reported corrupt, once
  ConfigReplyFaults config{};    ///< the system configuration and diagnostics replies
  NetUpdateFaults net_update{};  ///< faults of the network update
};

struct FirmwareOptions {
  /// What the device announces as its path; must contain the HX7300's match text to be found.
  std::string device_path = "\\\\?\\usb#vid_f0c5&pid_e1a7&mi_03#7&2f1c0a9&0&0003";
  std::string passcode = "1234";
  std::string state_dir{};        ///< empty: image slots and a changed passcode live in memory only
  bool record_transfers = false;  ///< keep every packet written, for FirmwareModel::ReceivedSets
  DaaValues daa{};
  NetUpdatePace net_update_pace{};
  FaultPlan faults{};
};

}  // namespace hx::emu
