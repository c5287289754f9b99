#pragma once
// The system configuration exchange on opcode 13: the time and time zone request (Arg1 0), the
// configuration commands (Arg1 1), the passcode requests (Arg1 2 and 3), and the stage that a
// reply reports.

#include <cstdint>
#include <string>

#include "protocol/xu_packet.h"

namespace hx {

/// Arg1 of the two kinds of request, and the Length both carry.
inline constexpr std::uint8_t kConfigArg1TimeZone = 0;
inline constexpr std::uint8_t kConfigArg1Command = 1;
inline constexpr std::uint8_t kConfigRequestLength = 40;
/// Arg1 of the passcode requests: a validation, and a change of the passcode.
inline constexpr std::uint8_t kConfigArg1ValidatePasscode = 2;
inline constexpr std::uint8_t kConfigArg1ChangePasscode = 3;

/// Configuration command codes (ConfigCommand when Arg1 is 1). The utility sends 2 to 5; the
/// device may echo any of them.
inline constexpr std::int32_t SYSCFG_CMD_AVS_CONFIG = 1;
inline constexpr std::int32_t SYSCFG_CMD_REBOOT = 2;
inline constexpr std::int32_t SYSCFG_CMD_CFG_PARSE_RESULT = 3;
inline constexpr std::int32_t SYSCFG_CMD_REBOOT_M = 4;
inline constexpr std::int32_t SYSCFG_CMD_UPLOAD_FILE_BY_NAME = 5;
inline constexpr std::int32_t SYSCFG_CMD_UPLOAD_FILE_BY_ID = 6;
inline constexpr std::int32_t SYSCFG_CMD_PUBLISH_SSL_PDF = 7;

/// The room the upload request has for a file name: 39 bytes and a zero byte.
inline constexpr std::size_t kUploadNameCapacity = 40;

/// What a reply on opcode 13 reports: the stage it concerns and its result, 0 for success.
struct ConfigStage {
  std::wstring name;
  std::int32_t result;
};

/// Decodes a system configuration reply. Arg1 0 is the time-zone reply whatever its command;
/// the parse result's stage and code depend on its Status. A command that no stage belongs to
/// counts as success under a name that gives its code.
ConfigStage DecodeConfigReply(const XuPacket& reply);

}  // namespace hx
