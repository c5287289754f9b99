// Whether a file is private is read from its access list: an allowing entry that grants reading
// to anyone but its owner, SYSTEM or the administrators makes it not private.
#include <windows.h>
// After windows.h, whose types they use.
#include <aclapi.h>
#include <sddl.h>

#include "platform/private_file.h"

namespace hx::platform {
namespace {

constexpr ACCESS_MASK kReading = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(handle_);
    }
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

HRESULT LastError() {
  return HresultFromError(::GetLastError());
}

bool IsSystemOrAdministrators(PSID sid) {
  return ::IsWellKnownSid(sid, WinLocalSystemSid) ||
         ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

// True when sid is the user this process runs as.
bool IsCurrentUser(PSID sid) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return false;
  }
  alignas(TOKEN_USER) unsigned char buffer[256];
  DWORD length = 0;
  const bool same = ::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length) &&
                    ::EqualSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, sid);
  ::CloseHandle(token);
  return same;
}

std::string SidText(PSID sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid, &text)) {
    return "an account";
  }
  std::string copy(text);
  ::LocalFree(text);
  return copy;
}

// Why a file of this owner and access list is not private; empty when it is.
std::string NotPrivate(PSID owner, PACL dacl) {
  if (owner == nullptr || (!IsCurrentUser(owner) && !IsSystemOrAdministrators(owner))) {
    return "it belongs to another user";
  }
  if (dacl == nullptr) {
    return "it has no access list, which lets everyone in";
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!::GetAce(dacl, i, &entry)) {
      return "its access list cannot be read";
    }
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
      continue;
    }
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = &allowed->SidStart;
    if ((allowed->Mask & kReading) != 0 && !::EqualSid(sid, owner) &&
        !IsSystemOrAdministrators(sid)) {
      return "its access list lets " + SidText(sid) +
             " read it; let only its owner, SYSTEM and the administrators read it";
    }
  }
  return {};
}

}  // namespace

HRESULT ReadPrivateFile(const std::wstring& path, std::span<char> buffer, std::size_t& size,
                        std::string& problem) {
  size = 0;
  const Handle file(::CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
    problem = "it is not a regular file";
    return HresultFromError(kErrorNotSupported);
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD read = ::GetSecurityInfo(file.Get(), SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, &dacl, nullptr, &descriptor);
  if (read != ERROR_SUCCESS) {
    return HresultFromError(read);
  }
  problem = NotPrivate(owner, dacl);
  ::LocalFree(descriptor);
  if (!problem.empty()) {
    return HresultFromError(kErrorAccessDenied);
  }
  for (;;) {
    DWORD got = 0;
    const DWORD room = static_cast<DWORD>(buffer.size() - size);
    if (!::ReadFile(file.Get(), buffer.data() + size, room, &got, nullptr)) {
      return LastError();
    }
    if (got == 0) {
      return S_OK;
    }
    size += got;
    if (size == buffer.size()) {
      char beyond = 0;
      if (::ReadFile(file.Get(), &beyond, 1, &got, nullptr) && got != 0) {
        problem = "it is larger than a passcode file can be";
        return kHrInsufficientBuffer;
      }
      return S_OK;
    }
  }
}

}  // namespace hx::platform
