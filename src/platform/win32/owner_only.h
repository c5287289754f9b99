#pragma once
// What the Windows state files and directories are made with: an access list that lets their
// owner alone in.
#include <windows.h>
// After windows.h, whose types it uses.
#include <sddl.h>

#include <string>

namespace hx {

// A protected access list that lets the current user alone in, inherited by what is made
// inside. Without one (the user cannot be told), the system's default applies.
class OwnerOnly {
 public:
  OwnerOnly() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
      return;
    }
    alignas(TOKEN_USER) unsigned char buffer[256];
    DWORD length = 0;
    wchar_t* sid = nullptr;
    if (::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length) &&
        ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
      const std::wstring sddl = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
      if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                 &descriptor_, nullptr)) {
        attributes_.lpSecurityDescriptor = descriptor_;
      }
      ::LocalFree(sid);
    }
    ::CloseHandle(token);
  }
  ~OwnerOnly() { ::LocalFree(descriptor_); }
  OwnerOnly(const OwnerOnly&) = delete;
  OwnerOnly& operator=(const OwnerOnly&) = delete;
  SECURITY_ATTRIBUTES* Attributes() { return &attributes_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

}  // namespace hx
