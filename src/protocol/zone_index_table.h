#pragma once
// The device's time-zone indexes: 301 entries, one for each index from 0 to 300, in index
// order. 73 of them carry the system's standard name of a time zone; the others have no name
// and match nothing. The virtual device checks the indexes it is sent against the same table.

#include <array>
#include <cstddef>
#include <cstdint>

namespace hx {

struct ZoneIndexEntry {
  std::int32_t index;   ///< equal to the entry's position
  const wchar_t* name;  ///< the zone's standard name, or null
};

inline constexpr std::size_t kZoneIndexCount = 301;

namespace zone_index_detail {

inline constexpr ZoneIndexEntry kNamedZones[] = {
    {0, L"Dateline Standard Time"},
    {1, L"Samoa Standard Time"},
    {2, L"Hawaiian Standard Time"},
    {3, L"Alaskan Standard Time"},
    {4, L"Pacific Standard Time"},
    {10, L"Mountain Standard Time"},
    {13, L"Mexico Standard Time 2"},
    {15, L"US Mountain Standard Time"},
    {20, L"Central Standard Time"},
    {25, L"Canada Central Standard Time"},
    {30, L"Mexico Standard Time"},
    {33, L"Central America Standard Time"},
    {35, L"Eastern Standard Time"},
    {40, L"US Eastern Standard Time"},
    {45, L"SA Pacific Standard Time"},
    {50, L"Atlantic Standard Time"},
    {55, L"SA Western Standard Time"},
    {56, L"Pacific SA Standard Time"},
    {60, L"Newfoundland Standard Time"},
    {65, L"E. South America Standard Time"},
    {70, L"SA Eastern Standard Time"},
    {73, L"Greenland Standard Time"},
    {75, L"Mid-Atlantic Standard Time"},
    {80, L"Azores Standard Time"},
    {83, L"Cape Verde Standard Time"},
    {85, L"GMT Standard Time"},
    {90, L"Greenwich Standard Time"},
    {95, L"Central Europe Standard Time"},
    {100, L"Central European Standard Time"},
    {105, L"Romance Standard Time"},
    {110, L"W. Europe Standard Time"},
    {113, L"W. Central Africa Standard Time"},
    {115, L"E. Europe Standard Time"},
    {120, L"Egypt Standard Time"},
    {125, L"FLE Standard Time"},
    {130, L"GTB Standard Time"},
    {140, L"South Africa Standard Time"},
    {145, L"Russian Standard Time"},
    {150, L"Arab Standard Time"},
    {155, L"E. Africa Standard Time"},
    {158, L"Arabic Standard Time"},
    {160, L"Iran Standard Time"},
    {165, L"Arabian Standard Time"},
    {170, L"Caucasus Standard Time"},
    {175, L"Afghanistan Standard Time"},
    {180, L"Ekaterinburg Standard Time"},
    {185, L"West Asia Standard Time"},
    {190, L"India Standard Time"},
    {193, L"Nepal Standard Time"},
    {195, L"Central Asia Standard Time"},
    {200, L"Sri Lanka Standard Time"},
    {201, L"N. Central Asia Standard Time"},
    {203, L"Myanmar Standard Time"},
    {205, L"SE Asia Standard Time"},
    {207, L"North Asia Standard Time"},
    {210, L"China Standard Time"},
    {220, L"Taipei Standard Time"},
    {225, L"W. Australia Standard Time"},
    {227, L"North Asia East Standard Time"},
    {230, L"Korea Standard Time"},
    {235, L"Tokyo Standard Time"},
    {240, L"Yakutsk Standard Time"},
    {245, L"AUS Central Standard Time"},
    {250, L"Cen. Australia Standard Time"},
    {255, L"AUS Eastern Standard Time"},
    {260, L"E. Australia Standard Time"},
    {265, L"Tasmania Standard Time"},
    {270, L"Vladivostok Standard Time"},
    {275, L"West Pacific Standard Time"},
    {280, L"Central Pacific Standard Time"},
    {285, L"Fiji Standard Time"},
    {290, L"New Zealand Standard Time"},
    {300, L"Tonga Standard Time"},
};

constexpr std::array<ZoneIndexEntry, kZoneIndexCount> BuildTable() {
  std::array<ZoneIndexEntry, kZoneIndexCount> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    table[i] = {static_cast<std::int32_t>(i), nullptr};
  }
  for (const ZoneIndexEntry& named : kNamedZones) {
    table.at(static_cast<std::size_t>(named.index)).name = named.name;
  }
  return table;
}

static_assert(std::size(kNamedZones) == 73);

}  // namespace zone_index_detail

inline constexpr std::array<ZoneIndexEntry, kZoneIndexCount> TimeZoneIndexTable =
    zone_index_detail::BuildTable();

/// True when index names an entry of the table that carries a name.
constexpr bool IsNamedZoneIndex(std::int64_t index) {
  return index >= 0 && index < static_cast<std::int64_t>(kZoneIndexCount) &&
         TimeZoneIndexTable[static_cast<std::size_t>(index)].name != nullptr;
}

}  // namespace hx
