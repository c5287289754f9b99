#include "protocol/system_config.h"

namespace hx {

ConfigStage DecodeConfigReply(const XuPacket& reply) {
  if (reply.Arg1() == kConfigArg1TimeZone) {
    return {L"Setting Time Zone Information", reply.Status()};
  }
  switch (reply.ConfigCommand()) {
    case SYSCFG_CMD_AVS_CONFIG:
      return {L"Setting AVS Configuration", reply.Status()};
    case SYSCFG_CMD_CFG_PARSE_RESULT:
      // Parsing comes first: its failure hides whatever the validation gave.
      if (reply.Status() != 0) {
        return {L"Configuration parsing", reply.Status()};
      }
      return {L"Configuration validation", reply.ValidationResult()};
    case SYSCFG_CMD_UPLOAD_FILE_BY_NAME:
    case SYSCFG_CMD_UPLOAD_FILE_BY_ID:
      return {L"Uploading requested file", reply.Status()};
    case SYSCFG_CMD_PUBLISH_SSL_PDF:
      return {L"Setting Publish SSL PDF mode", reply.Status()};
    default:
      return {L"Configuration command " + std::to_wstring(reply.ConfigCommand()), 0};
  }
}

}  // namespace hx
