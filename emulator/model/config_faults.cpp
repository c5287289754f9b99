#include "model/config_faults.h"

#include "model/option_values.h"

namespace hx::emu {
namespace {

// Keeps the parsed value of a fault that takes one; false when there is none or it is refused.
template <typename T>
bool Keep(std::optional<std::string_view> value, std::optional<T>& field,
          bool (*parse)(std::string_view, T&)) {
  T parsed{};
  if (!value || !parse(*value, parsed)) {
    return false;
  }
  field = parsed;
  return true;
}

}  // namespace

void ConfigReplyFaults::ApplyToConfigReply(XuPacket& reply) const {
  if (status) {
    reply.SetStatus(*status);
  }
  if (arg1) {
    reply.SetArg1(*arg1);
  }
  if (command) {
    reply.SetConfigCommand(*command);
  }
}

bool ApplyConfigFaultText(std::string_view name, std::optional<std::string_view> value,
                          ConfigReplyFaults& faults) {
  if (name == "diag-server-reply") {
    faults.diag_server_reply = !value;
    return !value;
  }
  if (name == "config-arg1") {
    return Keep(value, faults.arg1, ParseInto<std::uint8_t>);
  }
  if (name == "config-status") {
    return Keep(value, faults.status, ParseResult);
  }
  if (name == "config-command") {
    return Keep(value, faults.command, ParseResult);
  }
  if (name == "validation-result") {
    return Keep(value, faults.validation_result, ParseResult);
  }
  if (name == "upload-status") {
    return Keep(value, faults.upload_status, ParseResult);
  }
  return false;
}

std::string_view ConfigFaultHelpText() {
  return "  config-status=STATUS      the reply to a time or configuration request carries\n"
         "                            STATUS (the passcode's replies keep theirs)\n"
         "  config-arg1=N             ... carries Arg1 N (0 reads as the time-zone reply)\n"
         "  config-command=N          ... echoes configuration command N\n"
         "  validation-result=STATUS  the parse result carries STATUS as its validation result\n"
         "  upload-status=STATUS      the CELOG upload's reply carries STATUS as UploadStatus\n"
         "  diag-server-reply         the CELOG upload is answered on opcode 10, the\n"
         "                            diagnostics server's reply (its Status from\n"
         "                            failure-status=10:STATUS)\n";
}

}  // namespace hx::emu
