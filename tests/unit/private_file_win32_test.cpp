// The passcode file's access check on Windows: a file that anyone but its owner, SYSTEM and the
// administrators may read is refused, as a POSIX file that group or others may read is.
#include <windows.h>
// After windows.h, whose types they use.
#include <sddl.h>

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "platform/private_file.h"
#include "support/temp_file.h"

namespace hx {
namespace {

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return {};
  }
  alignas(TOKEN_USER) unsigned char buffer[256];
  DWORD length = 0;
  wchar_t* text = nullptr;
  const bool got = ::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length) &&
                   ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
  ::CloseHandle(token);
  std::wstring sid = got ? text : L"";
  ::LocalFree(text);
  return sid;
}

// Gives the file at path the access list that sddl describes ("D:P(...)").
bool SetAccessList(const std::wstring& path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return false;
  }
  const bool set = ::SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  ::LocalFree(descriptor);
  return set;
}

TEST(PrivateFileWin32, OnlyAFileThatNobodyButItsOwnerSystemAndTheAdministratorsMayReadIsRead) {
  const std::wstring user = CurrentUserSid();
  ASSERT_FALSE(user.empty());
  const std::wstring own = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;" + user + L")";
  const struct {
    const char* name;
    std::wstring sddl;
    HRESULT result;
    const char* problem_names;
  } cases[] = {
      {"owner, SYSTEM and administrators", own, S_OK, ""},
      {"everyone may read", own + L"(A;;FR;;;WD)", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
       "S-1-1-0"},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir.Write("passcode", {'1', '2', '3', '4', '\n'});
    ASSERT_TRUE(SetAccessList(path.wstring(), c.sddl)) << ::GetLastError();
    std::array<char, 64> buffer{};
    std::size_t size = 0;
    std::string problem;
    EXPECT_EQ(platform::ReadPrivateFile(path.wstring(), buffer, size, problem), c.result);
    EXPECT_NE(problem.find(c.problem_names), std::string::npos) << problem;
    EXPECT_EQ(std::string(buffer.data(), size), SUCCEEDED(c.result) ? "1234\n" : "");
    ASSERT_TRUE(SetAccessList(path.wstring(), own));
    std::filesystem::remove(path);
  }
}

}  // namespace
}  // namespace hx
