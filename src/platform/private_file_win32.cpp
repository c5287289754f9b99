// Whether a file is private is read from its access list: an allowing entry that grants reading
// to anyone but its owner, SYSTEM or the administrators makes it not private.
#include <windows.h>
// After windows.h, whose types they use.
#include <aclapi.h>
#include <sddl.h>

#include <cstdint>
#include <string>

#include "platform/private_file_system.h"

namespace hx::platform {
namespace {

constexpr ACCESS_MASK kReading = FILE_READ_DATA | GENERIC_READ | GENERIC_ALL;

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

HRESULT OpenPrivateFile(const std::wstring& path, std::intptr_t& file, std::string& problem) {
  const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return LastError();
  }
  HRESULT hr = S_OK;
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    problem = "it is not a regular file";
    hr = HresultFromError(kErrorNotSupported);
  } else {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD read = ::GetSecurityInfo(handle, SE_FILE_OBJECT,
                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, nullptr, &dacl, nullptr, &descriptor);
    if (read != ERROR_SUCCESS) {
      hr = HresultFromError(read);
    } else {
      problem = NotPrivate(owner, dacl);
      ::LocalFree(descriptor);
      hr = problem.empty() ? S_OK : HresultFromError(kErrorAccessDenied);
    }
  }
  if (FAILED(hr)) {
    ::CloseHandle(handle);
    return hr;
  }
  file = reinterpret_cast<std::intptr_t>(handle);
  return S_OK;
}

}  // namespace hx::platform
