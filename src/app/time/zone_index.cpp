#include <array>
#include <optional>
#include <string_view>

#include "app/option_token.h"
#include "app/time/device_time.h"
#include "console/bounded_text.h"
#include "protocol/zone_index_table.h"

namespace hx {
namespace {

constexpr std::size_t kRegistryPathCapacity = 260;

std::optional<std::int32_t> FindByStandardName(std::wstring_view name) {
  for (const ZoneIndexEntry& entry : TimeZoneIndexTable) {
    if (entry.name == nullptr || std::wstring_view(entry.name).size() != name.size()) {
      continue;
    }
    bool equal = true;
    for (std::size_t i = 0; equal && i < name.size(); ++i) {
      equal = FoldAscii(entry.name[i]) == FoldAscii(name[i]);
    }
    if (equal) {
      return entry.index;
    }
  }
  return std::nullopt;
}

HRESULT IndexFromRegistry(platform::PcTime& pc, const std::wstring& standard_name,
                          std::int32_t& index) {
  std::array<wchar_t, kRegistryPathCapacity> path{};
  // A standard name is at most 31 characters, so the path always fits.
  FormatBoundedW(path, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\%ls",
                 standard_name.c_str());
  std::uint32_t value = 0;
  const HRESULT hr = pc.ReadRegistryZoneIndex(path.data(), value);
  if (FAILED(hr)) {
    return hr;
  }
  if (!IsNamedZoneIndex(value)) {
    return E_INVALIDARG;
  }
  index = static_cast<std::int32_t>(value);
  return S_OK;
}

}  // namespace

HRESULT ResolveZoneIndex(std::int32_t& index) {
  return ResolveZoneIndex(platform::SystemPcTime(), index);
}

HRESULT ResolveZoneIndex(platform::PcTime& pc, std::int32_t& index) {
  index = -1;
  std::unique_ptr<platform::PcTimeZone> zone;
  const HRESULT hr = pc.ReadTimeZone(zone);
  if (FAILED(hr)) {
    return hr;
  }
  if (pc.ZoneIndexInRegistry()) {
    return IndexFromRegistry(pc, zone->StandardName(), index);
  }
  const std::optional<std::int32_t> found = FindByStandardName(zone->StandardName());
  if (!found) {
    return E_INVALIDARG;
  }
  index = *found;
  return S_OK;
}

}  // namespace hx
