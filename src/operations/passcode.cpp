#include "operations/passcode.h"

#include <array>
#include <cstring>
#include <cwchar>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/passcode_entry.h"
#include "console/passcode_file.h"
#include "console/wide_to_ansi.h"
#include "operations/status_poller.h"
#include "platform/secure_wipe.h"
#include "protocol/opcodes.h"
#include "protocol/system_config.h"

namespace hx {
namespace {

constexpr std::size_t kAnsiSpareBytes = 2;

using PasscodeBuffer = std::array<wchar_t, kPasscodeCapacity>;

// Wipes a passcode buffer on every path out of the scope that owns it.
class WipeOnExit {
 public:
  explicit WipeOnExit(PasscodeBuffer& buffer) : buffer_(buffer) {}
  ~WipeOnExit() { SecureWipe(std::span(buffer_)); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  PasscodeBuffer& buffer_;
};

class SystemConfigReplyJudge final : public ReplyJudge {
 public:
  ReplyVerdict Judge(const XuPacket& reply, HRESULT read_result) override {
    if (reply.Opcode() != XU_OPCODE_SYSTEM_CONFIG) {
      return ReplyVerdict::Drop();
    }
    return ReplyVerdict::Finish(reply.Status() != 0 ? reply.Status() : read_result);
  }
};

// Puts the passcode into the request as 8-bit text; every copy of the text is wiped.
HRESULT FillPasscodeText(const wchar_t* passcode, XuPacket& request) {
  std::unique_ptr<char[]> ansi = WideToAnsi(passcode);
  if (!ansi) {
    return HresultFromError(kErrorNoUnicodeTranslation);
  }
  const std::size_t length = std::strlen(ansi.get());
  auto field = request.PasscodeText();
  CopyBoundedA(std::span(reinterpret_cast<char*>(field.data()), field.size()), ansi.get());
  request.SetLength(static_cast<std::uint8_t>(length));
  SecureWipe(std::span(ansi.get(), length + 1 + kAnsiSpareBytes));
  return S_OK;
}

HRESULT SendPasscodeRequest(const wchar_t* passcode, std::uint8_t arg1, std::int32_t config_command,
                            CDuzuVideoCaptureDevice& device) {
  if (passcode == nullptr || std::wcslen(passcode) >= kPasscodeCapacity) {
    return E_INVALIDARG;
  }
  XuPacket request;
  request.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
  request.SetArg0(0);
  request.SetArg1(arg1);
  request.SetConfigCommand(config_command);
  if (passcode[0] != L'\0') {
    if (const HRESULT hr = FillPasscodeText(passcode, request); FAILED(hr)) {
      return hr;
    }
  }
  const HRESULT hr = device.SetXU(SelectorFor(XU_OPCODE_SYSTEM_CONFIG), request.Bytes());
  SecureWipe(request.Bytes());
  if (FAILED(hr)) {
    return hr;
  }
  SystemConfigReplyJudge judge;
  return PollForReply(device, PollRules{}, judge);
}

HRESULT PromptAndRead(const wchar_t* prompt, PasscodeBuffer& buffer) {
  const HRESULT hr = ReadPasscode(prompt, buffer);
  // The operator's Enter is not echoed; end the prompt's line whatever the read gave. A
  // passcode from a file has no prompt.
  if (PasscodeFileInUse() == nullptr) {
    Console().WriteWide(L"\r\n");
  }
  return hr;
}

}  // namespace

HRESULT ValidatePasscode(std::uint8_t opcode, CDuzuVideoCaptureDevice& device) {
  PasscodeBuffer passcode{};
  WipeOnExit wipe(passcode);
  const HRESULT hr = PromptAndRead(L"\r\nEnter passcode:", passcode);
  if (FAILED(hr)) {
    return hr;
  }
  return SendValidatePasscode(passcode.data(), opcode, device);
}

HRESULT ChangePasscode(CDuzuVideoCaptureDevice& device) {
  PasscodeBuffer current{};
  PasscodeBuffer fresh{};
  PasscodeBuffer again{};
  WipeOnExit wipe_current(current);
  WipeOnExit wipe_fresh(fresh);
  WipeOnExit wipe_again(again);
  HRESULT hr = PromptAndRead(L"\r\nEnter passcode:", current);
  if (FAILED(hr)) {
    return hr;
  }
  hr = PromptAndRead(L"Enter new passcode:", fresh);
  if (FAILED(hr)) {
    return hr;
  }
  hr = PromptAndRead(L"Re-enter new passcode:", again);
  if (FAILED(hr)) {
    return hr;
  }
  if (std::wcscmp(fresh.data(), again.data()) != 0 || fresh[0] == L'\0') {
    return E_INVALIDARG;
  }
  hr = SendValidatePasscode(current.data(), XU_OPCODE_SYSTEM_CONFIG, device);
  if (FAILED(hr)) {
    return hr;
  }
  return SendChangePasscode(fresh.data(), device);
}

HRESULT SendValidatePasscode(const wchar_t* passcode, std::uint8_t opcode,
                             CDuzuVideoCaptureDevice& device) {
  return SendPasscodeRequest(passcode, kConfigArg1ValidatePasscode, opcode, device);
}

HRESULT SendChangePasscode(const wchar_t* new_passcode, CDuzuVideoCaptureDevice& device) {
  return SendPasscodeRequest(new_passcode, kConfigArg1ChangePasscode, 0, device);
}

}  // namespace hx
