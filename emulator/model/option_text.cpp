#include "model/option_text.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "model/config_faults.h"
#include "model/option_values.h"

namespace hx::emu {
namespace {

bool ApplyDaaField(std::string_view key, std::string_view value, DaaValues& v) {
  struct ByteField {
    std::string_view key;
    std::uint8_t DaaValues::*field;
  };
  static constexpr ByteField kBytes[] = {
      {"group", &DaaValues::group_id},
      {"record3", &DaaValues::record_byte3},
      {"gcr", &DaaValues::gcr},
      {"ictrl1-voice", &DaaValues::ictrl1_voice},
      {"ictrl2-voice", &DaaValues::ictrl2_voice},
      {"ictrl3-voice", &DaaValues::ictrl3_voice},
      {"ictrl1-dtmf", &DaaValues::ictrl1_dtmf},
      {"ictrl2-dtmf", &DaaValues::ictrl2_dtmf},
      {"ictrl3-dtmf", &DaaValues::ictrl3_dtmf},
      {"lvcs", &DaaValues::lvcs_check},
  };
  for (const ByteField& entry : kBytes) {
    if (entry.key == key) {
      return ParseInto(value, v.*entry.field);
    }
  }
  if (key == "low-mag") {
    return ParseInto(value, v.low_mag);
  }
  if (key == "high-mag") {
    return ParseInto(value, v.high_mag);
  }
  return false;
}

bool ParseTransferFault(std::string_view value, TransferFault::Direction direction,
                        FaultPlan& plan) {
  const auto parts = Split(value, ':');
  TransferFault fault;
  fault.direction = direction;
  if (parts.size() < 2 || parts.size() > 3 || !ParseInto(parts[0], fault.selector) ||
      !ParseResult(parts[1], fault.result) ||
      (parts.size() == 3 && !ParseInto(parts[2], fault.nth))) {
    return false;
  }
  plan.transfer_faults.push_back(fault);
  return true;
}

bool ParseDeviceMessage(std::string_view value, FaultPlan& plan) {
  const std::size_t colon = value.find(':');
  const std::string_view form = value.substr(0, colon);
  const std::string_view rest = colon == std::string_view::npos ? "" : value.substr(colon + 1);
  DeviceMessageFault message;
  if (form == "text") {
    message.form = DeviceMessageFault::Form::kPlainText;
    message.text = std::string(rest);
  } else if (form == "coded") {
    const std::size_t at = rest.find(':');
    message.form = DeviceMessageFault::Form::kCodedText;
    if (at == std::string_view::npos || !ParseInto(rest.substr(0, at), message.code)) {
      return false;
    }
    message.text = std::string(rest.substr(at + 1));
  } else if (form == "efs") {
    const auto parts = Split(rest, ':');
    message.form = DeviceMessageFault::Form::kEfs;
    if (parts.size() != 3 || !ParseInto(parts[0], message.code) ||
        !ParseInto(parts[1], message.f) || !ParseInto(parts[2], message.s)) {
      return false;
    }
  } else {
    return false;
  }
  plan.device_message = message;
  return true;
}

bool ParseOpcodeList(std::string_view value, std::vector<std::uint8_t>& opcodes) {
  for (const std::string_view part : Split(value, ':')) {
    std::uint8_t opcode = 0;
    if (!ParseInto(part, opcode)) {
      return false;
    }
    opcodes.push_back(opcode);
  }
  return true;
}

bool ParseFailureStatus(std::string_view value, FaultPlan& plan) {
  const auto parts = Split(value, ':');
  std::uint8_t opcode = 0;
  std::int32_t status = 0;
  if (parts.size() != 2 || !ParseInto(parts[0], opcode) || !ParseResult(parts[1], status)) {
    return false;
  }
  plan.failure_status[opcode] = status;
  return true;
}

bool ParseEchoStatus(std::string_view value, FaultPlan& plan) {
  const auto parts = Split(value, ':');
  EchoStatusFault fault;
  std::uint16_t block = 0;
  if (parts.size() > 2 || !ParseResult(parts[0], fault.status) ||
      (parts.size() == 2 && !ParseInto(parts[1], block))) {
    return false;
  }
  if (parts.size() == 2) {
    fault.block = block;
  }
  plan.echo_status = fault;
  return true;
}

bool ParseOptionalResult(std::string_view value, std::optional<std::int32_t>& out) {
  std::int32_t status = 0;
  if (!ParseResult(value, status)) {
    return false;
  }
  out = status;
  return true;
}

bool ApplyImageFault(std::string_view name, std::string_view value, FaultPlan& plan) {
  std::uint64_t count = 0;
  if (name == "info-status") {
    return ParseOptionalResult(value, plan.info_status);
  }
  if (name == "flush-status") {
    return ParseOptionalResult(value, plan.flush_status);
  }
  if (name == "echo-status") {
    return ParseEchoStatus(value, plan);
  }
  if (name == "corrupt-after" && ParseInto(value, count)) {
    plan.corrupt_after = count;
    return true;
  }
  return false;
}

bool ApplyValuedFault(std::string_view name, std::string_view value, FaultPlan& plan) {
  std::uint8_t opcode = 0;
  std::uint64_t count = 0;
  if (name == "daa-other-records") {
    return ParseInto(value, plan.daa_other_records);
  }
  if (name == "extra-replies") {
    return ParseOpcodeList(value, plan.extra_replies);
  }
  if (name == "drop-interrupts") {
    return ParseInto(value, plan.drop_interrupts);
  }
  if (name == "device-message") {
    return ParseDeviceMessage(value, plan);
  }
  if (name == "fail-set") {
    return ParseTransferFault(value, TransferFault::Direction::kSet, plan);
  }
  if (name == "fail-get") {
    return ParseTransferFault(value, TransferFault::Direction::kGet, plan);
  }
  if (name == "failure-status") {
    return ParseFailureStatus(value, plan);
  }
  if (name == "latency-us") {
    return ParseInto(value, plan.latency_us);
  }
  if (name == "no-reply" && ParseInto(value, opcode)) {
    plan.no_reply.insert(opcode);
    return true;
  }
  if (name == "disconnect-after" && ParseInto(value, count)) {
    plan.disconnect_after = count;
    return true;
  }
  if (name == "silent-after" && ParseInto(value, count)) {
    plan.silent_after = count;
    return true;
  }
  return ApplyImageFault(name, value, plan) || ApplyNetUpdateFault(name, value, plan.net_update);
}

bool ApplyFlagFault(std::string_view name, FaultPlan& plan) {
  bool FaultPlan::*flag = nullptr;
  if (name == "daa-bad-checksum") {
    flag = &FaultPlan::daa_bad_checksum;
  }
  if (name == "no-interrupts") {
    flag = &FaultPlan::no_interrupts;
  }
  if (name == "duplicate-interrupts") {
    flag = &FaultPlan::duplicate_interrupts;
  }
  if (flag == nullptr) {
    return false;
  }
  plan.*flag = true;
  return true;
}

}  // namespace

bool ApplyDaaText(std::string_view text, DaaValues& values, std::string& error) {
  for (const std::string_view item : Split(text, ',')) {
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos ||
        !ApplyDaaField(item.substr(0, equals), item.substr(equals + 1), values)) {
      error = "bad DAA setting '" + std::string(item) + "'";
      return false;
    }
  }
  return true;
}

bool ApplyFaultText(std::string_view text, FaultPlan& plan, std::string& error) {
  const std::size_t equals = text.find('=');
  const std::string_view name = text.substr(0, equals);
  const std::optional<std::string_view> value =
      equals == std::string_view::npos ? std::nullopt : std::optional(text.substr(equals + 1));
  const bool applied = ApplyConfigFaultText(name, value, plan.config) ||
                       (value ? ApplyValuedFault(name, *value, plan) : ApplyFlagFault(name, plan));
  if (!applied) {
    error = "bad fault '" + std::string(text) + "'";
  }
  return applied;
}

std::string_view FaultHelpText() {
  return "  daa-bad-checksum          the DAA settings reply carries a wrong checksum\n"
         "  daa-other-records=N       N DSP replies of another record type come first\n"
         "  extra-replies=OP[:OP...]  replies of these opcodes are queued before each answer\n"
         "  no-interrupts             replies queue without a status interrupt\n"
         "  drop-interrupts=N         the first N status interrupts are lost\n"
         "  duplicate-interrupts      every status interrupt is raised twice\n"
         "  device-message=efs:E:F:S | coded:CODE:TEXT | text:TEXT\n"
         "                            the next status read gives this device message, once\n"
         "  fail-set=SEL:RESULT[:NTH] writes to selector SEL fail with RESULT (only the\n"
         "                            NTH such write when NTH is given)\n"
         "  fail-get=SEL:RESULT[:NTH] the same for reads\n"
         "  failure-status=OP:STATUS  replies to opcode OP carry STATUS at bytes 4..7\n"
         "  no-reply=OP               requests to opcode OP are never answered\n"
         "  latency-us=N              every transfer takes N microseconds more\n"
         "  disconnect-after=N        the device drops the link after N transfers, once\n"
         "  silent-after=N            the device answers no transfer after the first N (the\n"
         "                            utility's link and USB drivers give up after 5 s)\n"
         "  info-status=STATUS        an accepted image info is answered with STATUS\n"
         "  echo-status=STATUS[:BLOCK]\n"
         "                            the echo of block BLOCK's commit (of every commit\n"
         "                            when BLOCK is not given) carries STATUS\n"
         "  flush-status=STATUS       the flush is answered with STATUS and the image is\n"
         "                            not committed\n"
         "  corrupt-after=N           the data packet after the first N is reported\n"
         "                            corrupt, once\n"
         "  (a nonzero STATUS of the image transfer also ends the transfer on the device)\n";
}

}  // namespace hx::emu
