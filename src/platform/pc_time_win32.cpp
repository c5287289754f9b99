// The PC's zone on Windows: the system's time-zone information with its daylight-saving rules,
// converted by the system's own calls; before major version 6 the zone's device index is the
// "Index" value of its registry key.
#include <windows.h>

#include <cwchar>

#include "platform/pc_time.h"

namespace hx::platform {
namespace {

HRESULT LastError() {
  return HresultFromError(::GetLastError());
}

class WindowsTimeZone final : public PcTimeZone {
 public:
  explicit WindowsTimeZone(const TIME_ZONE_INFORMATION& info)
      : info_(info),
        standard_name_(info.StandardName,
                       ::wcsnlen(info.StandardName, std::size(info.StandardName))) {}

  const std::wstring& StandardName() const override { return standard_name_; }
  HRESULT LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) const override {
    return ::TzSpecificLocalTimeToSystemTime(&info_, &local, &utc) ? S_OK : LastError();
  }
  HRESULT UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const override {
    return ::SystemTimeToTzSpecificLocalTime(&info_, &utc, &local) ? S_OK : LastError();
  }

 private:
  TIME_ZONE_INFORMATION info_;
  std::wstring standard_name_;
};

class WindowsPcTime final : public PcTime {
 public:
  HRESULT ReadTimeZone(std::unique_ptr<PcTimeZone>& zone) override {
    TIME_ZONE_INFORMATION info{};
    if (::GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) {
      return LastError();
    }
    zone = std::make_unique<WindowsTimeZone>(info);
    return S_OK;
  }

  void LocalNow(SYSTEMTIME& now) override { ::GetLocalTime(&now); }
  void UtcNow(SYSTEMTIME& now) override { ::GetSystemTime(&now); }

  bool ZoneIndexInRegistry() override {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    // A version that cannot be read is taken as a current one, whose zones are found by name.
    return ::GetVersionExW(&version) && version.dwMajorVersion < 6;
  }

  HRESULT ReadRegistryZoneIndex(const wchar_t* key_path, std::uint32_t& value) override {
    HKEY key = nullptr;
    LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
      return HresultFromError(status);
    }
    DWORD index = 0;
    DWORD size = sizeof index;
    status =
        ::RegQueryValueExW(key, L"Index", nullptr, nullptr, reinterpret_cast<BYTE*>(&index), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
      return HresultFromError(status);
    }
    value = index;
    return S_OK;
  }
};

}  // namespace

PcTime& SystemPcTime() {
  static WindowsPcTime pc_time;
  return pc_time;
}

}  // namespace hx::platform
