// The zone index and the "-t:" value resolved against a PC whose zone, clock and registry the
// test decides: the table lookup, the registry branch of old Windows systems, and the reading
// of the value's fixed positions.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/time/device_time.h"
#include "protocol/zone_index_table.h"
#include "support/system_time.h"

namespace hx {
namespace {

// A zone whose conversions record what they were given and answer with a fixed record.
class FakeZone final : public platform::PcTimeZone {
 public:
  FakeZone(std::wstring name, std::vector<SYSTEMTIME>& given, HRESULT result)
      : name_(std::move(name)), given_(given), result_(result) {}
  const std::wstring& StandardName() const override { return name_; }
  HRESULT LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) const override {
    given_.push_back(local);
    utc = kConverted;
    return result_;
  }
  HRESULT UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) const override {
    given_.push_back(utc);
    local = kConverted;
    return result_;
  }
  static constexpr SYSTEMTIME kConverted = {2001, 2, 3, 4, 5, 6, 7, 8};

 private:
  std::wstring name_;
  std::vector<SYSTEMTIME>& given_;
  HRESULT result_;
};

class FakePcTime final : public platform::PcTime {
 public:
  HRESULT ReadTimeZone(std::unique_ptr<platform::PcTimeZone>& zone) override {
    if (SUCCEEDED(read_result)) {
      zone = std::make_unique<FakeZone>(standard_name, converted, conversion_result);
    }
    return read_result;
  }
  void LocalNow(SYSTEMTIME& now) override { now = local_now; }
  void UtcNow(SYSTEMTIME& now) override { now = utc_now; }
  bool ZoneIndexInRegistry() override { return registry; }
  HRESULT ReadRegistryZoneIndex(const wchar_t* key_path, std::uint32_t& value) override {
    registry_paths.emplace_back(key_path);
    value = registry_value;
    return registry_result;
  }

  std::wstring standard_name = L"W. Europe Standard Time";
  HRESULT read_result = S_OK;
  HRESULT conversion_result = S_OK;
  std::vector<SYSTEMTIME> converted;
  SYSTEMTIME local_now = {2024, 7, 1, 15, 14, 30, 5, 250};
  SYSTEMTIME utc_now = {2024, 7, 1, 15, 12, 30, 5, 251};
  bool registry = false;
  std::uint32_t registry_value = 0;
  HRESULT registry_result = S_OK;
  std::vector<std::wstring> registry_paths;
};

TEST(ZoneIndexTable, HoldsEveryIndexInOrderWith73Names) {
  int named = 0;
  for (std::size_t i = 0; i < TimeZoneIndexTable.size(); ++i) {
    EXPECT_EQ(TimeZoneIndexTable[i].index, static_cast<std::int32_t>(i));
    named += TimeZoneIndexTable[i].name != nullptr ? 1 : 0;
  }
  EXPECT_EQ(TimeZoneIndexTable.size(), 301u);
  EXPECT_EQ(named, 73);
  EXPECT_STREQ(TimeZoneIndexTable[0].name, L"Dateline Standard Time");
  EXPECT_STREQ(TimeZoneIndexTable[13].name, L"Mexico Standard Time 2");
  EXPECT_STREQ(TimeZoneIndexTable[250].name, L"Cen. Australia Standard Time");
  EXPECT_STREQ(TimeZoneIndexTable[300].name, L"Tonga Standard Time");
  EXPECT_EQ(TimeZoneIndexTable[5].name, nullptr);
  EXPECT_TRUE(IsNamedZoneIndex(300));
  EXPECT_FALSE(IsNamedZoneIndex(301));
  EXPECT_FALSE(IsNamedZoneIndex(-1));
}

TEST(ResolveZoneIndex, FindsTheStandardNameWithoutRegardToCase) {
  FakePcTime pc;
  std::int32_t index = 7;
  for (const auto& [name, expected] :
       std::vector<std::pair<std::wstring, std::int32_t>>{{L"W. Europe Standard Time", 110},
                                                          {L"w. europe standard TIME", 110},
                                                          {L"Mexico Standard Time 2", 13},
                                                          {L"Mexico Standard Time", 30},
                                                          {L"Tonga Standard Time", 300}}) {
    pc.standard_name = name;
    EXPECT_EQ(ResolveZoneIndex(pc, index), S_OK);
    EXPECT_EQ(index, expected);
  }
  EXPECT_TRUE(pc.registry_paths.empty());
}

TEST(ResolveZoneIndex, ZoneWithoutANamedEntryOrUnreadableIsRefusedWithIndexMinusOne) {
  FakePcTime pc;
  std::int32_t index = 110;
  for (const wchar_t* name : {L"UTC", L"Turkey Standard Time", L"W. Europe Standard Time ",
                              L"W. Europe Standard", L"Mitteleuropäische Zeit", L""}) {
    pc.standard_name = name;
    EXPECT_EQ(ResolveZoneIndex(pc, index), E_INVALIDARG);
    EXPECT_EQ(index, -1);
  }
  pc.standard_name = L"GMT Standard Time";
  pc.read_result = static_cast<HRESULT>(0x8007000E);
  index = 85;
  EXPECT_EQ(ResolveZoneIndex(pc, index), static_cast<HRESULT>(0x8007000E));
  EXPECT_EQ(index, -1);
}

TEST(ResolveZoneIndex, OldSystemsReadTheIndexFromTheZonesRegistryKey) {
  FakePcTime pc;
  pc.registry = true;
  pc.standard_name = L"Some Local Name";  // the registry decides, not the table's names
  const struct {
    std::uint32_t value;
    HRESULT result;
    std::int32_t index;
  } cases[] = {
      {0, S_OK, 0},          {300, S_OK, 300},        {110, S_OK, 110},
      {5, E_INVALIDARG, -1}, {301, E_INVALIDARG, -1}, {0xFFFFFFFFu, E_INVALIDARG, -1},
  };
  for (const auto& c : cases) {
    pc.registry_value = c.value;
    std::int32_t index = 42;
    EXPECT_EQ(ResolveZoneIndex(pc, index), c.result) << c.value;
    EXPECT_EQ(index, c.index) << c.value;
  }
  EXPECT_EQ(pc.registry_paths.back(),
            L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\Some Local Name");

  pc.registry_result = static_cast<HRESULT>(0x80070002);  // no such key
  pc.registry_value = 110;
  std::int32_t index = 42;
  EXPECT_EQ(ResolveZoneIndex(pc, index), static_cast<HRESULT>(0x80070002));
  EXPECT_EQ(index, -1);
}

TEST(ResolveDeviceTime, NowInAnyCaseTakesLocalThenUtcTimeAsTheyAre) {
  FakePcTime pc;
  for (const wchar_t* value : {L"now", L"NOW", L"nOw"}) {
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    EXPECT_EQ(ResolveDeviceTime(pc, value, utc, local), S_OK);
    EXPECT_EQ(local, pc.local_now);
    EXPECT_EQ(utc, pc.utc_now);
  }
  EXPECT_TRUE(pc.converted.empty());
}

TEST(ResolveDeviceTime, ExplicitValueFillsItsRecordAndHasTheOtherConverted) {
  FakePcTime pc;
  // The day of week of the given record is kept as it was; the converted one is complete.
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  local.wDayOfWeek = 4;
  local.wMilliseconds = 999;
  ASSERT_EQ(ResolveDeviceTime(pc, L"2009-05-12L13:45:07", utc, local), S_OK);
  EXPECT_EQ(local, (SYSTEMTIME{2009, 5, 4, 12, 13, 45, 7, 0}));
  EXPECT_EQ(utc, FakeZone::kConverted);
  ASSERT_EQ(pc.converted.size(), 1u);
  EXPECT_EQ(pc.converted[0], local);

  utc = {};
  local = {};
  ASSERT_EQ(ResolveDeviceTime(pc, L"2009/05/12U11.45.00", utc, local), S_OK);
  EXPECT_EQ(utc, (SYSTEMTIME{2009, 5, 0, 12, 11, 45, 0, 0}));
  EXPECT_EQ(local, FakeZone::kConverted);

  pc.conversion_result = E_INVALIDARG;
  EXPECT_EQ(ResolveDeviceTime(pc, L"2009-02-30L00:00:00", utc, local), E_INVALIDARG);
}

TEST(ResolveDeviceTime, FieldsAreReadAtTheirPositionsAndNeverPastTheValuesEnd) {
  const struct {
    const wchar_t* value;
    SYSTEMTIME local;
  } cases[] = {
      // Fields that begin at or beyond the end read as 0.
      {L"2009-05-12L", {2009, 5, 0, 12, 0, 0, 0, 0}},
      {L"2009-05-12L13", {2009, 5, 0, 12, 13, 0, 0, 0}},
      {L"2009-05-12L13:45:", {2009, 5, 0, 12, 13, 45, 0, 0}},
      {L"2009-05-12L13:45:0", {2009, 5, 0, 12, 13, 45, 0, 0}},
      // Each field runs to its first character that is not a digit, whatever stands there.
      {L"2009-05-12L13:45:00 and more", {2009, 5, 0, 12, 13, 45, 0, 0}},
      {L"2009-05-12L1345:00", {2009, 5, 0, 12, 1345, 5, 0, 0}},
      // Leading blanks are skipped and a sign is taken; the record keeps the low 16 bits.
      {L"2009- 5-+2L-1  4  9", {2009, 5, 0, 2, 0xFFFF, 4, 9, 0}},
      {L"2009-05-12L65535", {2009, 5, 0, 12, 65535, 35, 0, 0}},
  };
  for (const auto& c : cases) {
    FakePcTime pc;
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    // Only the part of the value before its end may be looked at.
    const std::wstring value(c.value);
    EXPECT_EQ(ResolveDeviceTime(pc, value.c_str(), utc, local), S_OK);
    EXPECT_EQ(local, c.local) << value;
  }
}

TEST(ResolveDeviceTime, FieldsWhoseDigitsExceed16BitsAreRefusedNotWrapped) {
  // 67560 would wrap to 2024 and set the device to a date nobody gave.
  for (const wchar_t* value : {L"67560+1-01L12:00:00", L"2009105-12L1345:00", L"2009-05-12L65536",
                               L"2009-05-12L-65536", L"2009-05-12L4294967296", L"9999999999U"}) {
    FakePcTime pc;
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    EXPECT_EQ(ResolveDeviceTime(pc, value, utc, local), kHrTimeFieldTooLarge) << value;
    EXPECT_TRUE(pc.converted.empty()) << value;
  }
}

TEST(ResolveDeviceTime, ValuesWithoutAnUpperCaseLOrUAtPosition10AreRefused) {
  FakePcTime pc;
  for (const wchar_t* value :
       {L"", L"now ", L"today", L"2009-05-12", L"2009-05-12l13:45:00", L"2009-05-12u13:45:00",
        L"2009-05-12T13:45:00", L"2009-5-12L13:45:00"}) {
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    EXPECT_EQ(ResolveDeviceTime(pc, value, utc, local), E_INVALIDARG) << value;
  }
  EXPECT_TRUE(pc.converted.empty());

  pc.read_result = static_cast<HRESULT>(0x80070490);
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  EXPECT_EQ(ResolveDeviceTime(pc, L"now", utc, local), static_cast<HRESULT>(0x80070490));
}

}  // namespace
}  // namespace hx
