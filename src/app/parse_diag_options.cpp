#include "app/option_parsers.h"
#include "app/option_token.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

/// Takes "-l" or "-l:flush" (the value in any case) and nothing else.
bool ApplyDiagToken(const OptionToken& token, DiagOptions& diag) {
  if (token.Letter() != L'l') {
    return false;
  }
  const bool flush = token.HasValue() && EqualsIgnoreCase(token.ValueView(), L"flush");
  if (!flush && !token.IsBare()) {
    return false;
  }
  // Every "-l" starts afresh, so the last one decides whether the log is flushed.
  diag.DiagOpcode = XU_OPCODE_DIAG_UPLOAD_CELOG;
  diag.FlushLog = flush ? 1 : 0;
  return true;
}

}  // namespace

HRESULT ParseDiagOptions(ArgumentVector arguments, ModeOptions& options) {
  if (options.ModeCode != kModeDiag) {
    return E_INVALIDARG;
  }
  DiagOptions& diag = options.Diag;
  diag.FlushLog = 0;
  const bool tokens_accepted = EveryOptionToken(
      arguments, [&diag](const OptionToken& token) { return ApplyDiagToken(token, diag); });
  const bool requested = diag.DiagOpcode == XU_OPCODE_DIAG_UPLOAD_CELOG;
  return tokens_accepted && requested ? S_OK : E_INVALIDARG;
}

}  // namespace hx
