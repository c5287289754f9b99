#include "model/config_commands.h"

#include <algorithm>
#include <optional>
#include <string>

#include "model/device_status.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"
#include "protocol/system_config.h"

namespace hx::emu {
namespace {

char FoldAscii(char ch) {
  return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

// The slot whose device file the name is; the device's file names ignore case.
std::optional<std::uint8_t> SlotNamed(const std::string& name) {
  for (std::size_t i = 0; i < ImageSlotTable.size(); ++i) {
    const std::string_view file = ImageSlotTable[i].device_file;
    if (std::ranges::equal(file, name, {}, FoldAscii, FoldAscii)) {
      return static_cast<std::uint8_t>(i);
    }
  }
  return std::nullopt;
}

// The request's name: bytes 12..51 up to the first zero byte.
std::string UploadName(const XuPacket& request) {
  const auto data = request.ConfigData();
  const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
  return std::string(data.begin(), end);
}

}  // namespace

void ConfigCommands::AddTo(SystemConfigResponder& responder) {
  responder.Add(kConfigArg1Command, [this](const XuPacket& request, XuPacket& reply) {
    if (!Run(request, reply)) {
      return false;
    }
    faults_.ApplyToConfigReply(reply);
    return true;
  });
}

bool ConfigCommands::Run(const XuPacket& request, XuPacket& reply) {
  reply.SetConfigCommand(request.ConfigCommand());
  if (!connection_.IsAuthorised(XU_OPCODE_SYSTEM_CONFIG)) {
    reply.SetStatus(kStatusAccessDenied);
    return true;
  }
  switch (request.ConfigCommand()) {
    case SYSCFG_CMD_REBOOT:
    case SYSCFG_CMD_REBOOT_M:
      reboot_();
      return false;
    case SYSCFG_CMD_CFG_PARSE_RESULT:
      ParseResult(reply);
      return true;
    case SYSCFG_CMD_UPLOAD_FILE_BY_NAME:
      UploadByName(request, reply);
      return true;
    default:
      reply.SetStatus(kStatusNotSupported);
      return true;
  }
}

void ConfigCommands::ParseResult(XuPacket& reply) {
  const std::optional<XmlVerdict> verdict = config_check_.Verdict();
  if (!verdict) {
    reply.SetStatus(kStatusFileNotFound);
  } else {
    switch (*verdict) {
      case XmlVerdict::kWellFormed:
        break;
      case XmlVerdict::kMalformed:
        reply.SetStatus(kStatusXmlParseError);
        break;
      case XmlVerdict::kUnchecked:
        reply.SetStatus(kStatusNotSupported);
        break;
    }
  }
  // The device validates what it parsed; the configuration it holds always passes.
  reply.SetValidationResult(faults_.validation_result.value_or(0));
}

void ConfigCommands::UploadByName(const XuPacket& request, XuPacket& reply) {
  const std::string name = UploadName(request);
  const std::optional<std::uint8_t> slot = SlotNamed(name);
  const std::optional<std::uint64_t> size = slot ? slots_.Size(*slot) : std::nullopt;
  if (!size) {
    reply.SetStatus(kStatusFileNotFound);
    return;
  }
  const std::string line =
      std::string(ImageSlotTable[*slot].device_file) + " (" + std::to_string(*size) + " bytes)";
  if (!log_server_.Record(line)) {
    reply.SetStatus(kStatusFailed);
  }
}

}  // namespace hx::emu
