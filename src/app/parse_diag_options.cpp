#include "app/command_line_refusal.h"
#include "app/option_parsers.h"
#include "app/option_token.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

/// Takes "-l" or "-l:flush" (the value in any case) and nothing else.
HRESULT ApplyDiagToken(const OptionToken& token, DiagOptions& diag, CommandLineRefusal& refusal) {
  if (token.Letter() != L'l') {
    return refusal.RefuseUnknown(token);
  }
  const bool flush = token.HasValue() && EqualsIgnoreCase(token.ValueView(), L"flush");
  if (!flush && !token.IsBare()) {
    return refusal.Refuse(token.Text(), L"the log upload is -l, or -l:flush to flush it");
  }
  // Every "-l" starts afresh, so the last one decides whether the log is flushed.
  diag.DiagOpcode = XU_OPCODE_DIAG_UPLOAD_CELOG;
  diag.FlushLog = flush ? 1 : 0;
  return S_OK;
}

}  // namespace

HRESULT ParseDiagOptions(ArgumentVector arguments, ModeOptions& options,
                         CommandLineRefusal& refusal) {
  if (options.ModeCode != kModeDiag) {
    return E_INVALIDARG;
  }
  DiagOptions& diag = options.Diag;
  diag.FlushLog = 0;
  const bool tokens_accepted = EveryOptionToken(arguments, [&](const OptionToken& token) {
    return SUCCEEDED(ApplyDiagToken(token, diag, refusal));
  });
  if (!tokens_accepted) {
    return E_INVALIDARG;
  }
  if (diag.DiagOpcode != XU_OPCODE_DIAG_UPLOAD_CELOG) {
    return refusal.Refuse({}, L"the log upload is missing (-l or -l:flush)");
  }
  return S_OK;
}

}  // namespace hx
