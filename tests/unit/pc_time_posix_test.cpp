// The PC's zone on POSIX as ICU finds it from TZ, with the zone database's rules: zone indexes
// of real zones, and conversions across daylight-saving changes in both hemispheres.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "app/time/device_time.h"
#include "support/system_time.h"

namespace hx {
namespace {

// Sets TZ for the lifetime of the object and puts the old value back.
class ScopedTz {
 public:
  explicit ScopedTz(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
      saved_ = old;
    }
    ::setenv("TZ", zone, 1);
  }
  ~ScopedTz() {
    if (saved_) {
      ::setenv("TZ", saved_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
  }
  ScopedTz(const ScopedTz&) = delete;
  ScopedTz& operator=(const ScopedTz&) = delete;

 private:
  std::optional<std::string> saved_;
};

TEST(PcTimePosix, ZonesWhoseWindowsIdsAreInTheTableGiveTheirIndex) {
  const struct {
    const char* tz;
    std::int32_t index;
  } cases[] = {
      {"Europe/Berlin", 110},    {":Europe/Berlin", 110},   {"Europe/Paris", 105},
      {"Europe/London", 85},     {"America/New_York", 35},  {"America/Los_Angeles", 4},
      {"Australia/Sydney", 255}, {"America/Sao_Paulo", 65}, {"Pacific/Auckland", 290},
      {"Asia/Kolkata", 190},     {"Asia/Kathmandu", 193},   {"Asia/Tokyo", 235},
  };
  for (const auto& c : cases) {
    ScopedTz tz(c.tz);
    std::int32_t index = -7;
    EXPECT_EQ(ResolveZoneIndex(index), S_OK) << c.tz;
    EXPECT_EQ(index, c.index) << c.tz;
  }
}

TEST(PcTimePosix, ZonesWhoseWindowsIdsAreNotInTheTableAreRefused) {
  for (const char* zone :
       {"Etc/UTC", "UTC", "Europe/Istanbul", "Asia/Karachi", "America/Argentina/Buenos_Aires"}) {
    ScopedTz tz(zone);
    std::int32_t index = 110;
    EXPECT_EQ(ResolveZoneIndex(index), E_INVALIDARG) << zone;
    EXPECT_EQ(index, -1) << zone;
  }
  // A name the zone database does not know has no rules at all.
  ScopedTz tz("Nowhere/Atlantis");
  std::int32_t index = 110;
  EXPECT_EQ(ResolveZoneIndex(index), static_cast<HRESULT>(0x80070490));
  EXPECT_EQ(index, -1);
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  EXPECT_EQ(ResolveDeviceTime(L"2024-01-15L12:00:00", utc, local),
            static_cast<HRESULT>(0x80070490));
}

struct Conversion {
  const char* tz;
  const wchar_t* value;
  SYSTEMTIME local;
  SYSTEMTIME utc;
};

void ExpectConversions(std::initializer_list<Conversion> conversions) {
  for (const Conversion& c : conversions) {
    ScopedTz tz(c.tz);
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    EXPECT_EQ(ResolveDeviceTime(c.value, utc, local), S_OK) << c.tz << ' ' << c.value;
    EXPECT_EQ(local, c.local) << c.tz << ' ' << c.value;
    EXPECT_EQ(utc, c.utc) << c.tz << ' ' << c.value;
  }
}

// The given record keeps day of week 0; the converted one carries the real one.
TEST(PcTimePosix, LocalAndUtcValuesAcrossDaylightSavingInTheNorth) {
  ExpectConversions({
      {"Europe/Berlin",
       L"2024-01-15L12:00:00",
       {2024, 1, 0, 15, 12, 0, 0, 0},
       {2024, 1, 1, 15, 11, 0, 0, 0}},
      {"Europe/Berlin",
       L"2024-07-15L12:00:00",
       {2024, 7, 0, 15, 12, 0, 0, 0},
       {2024, 7, 1, 15, 10, 0, 0, 0}},
      {"Europe/Berlin",
       L"2024-07-15U10:00:00",
       {2024, 7, 1, 15, 12, 0, 0, 0},
       {2024, 7, 0, 15, 10, 0, 0, 0}},
      // The hour skipped in spring and the one repeated in autumn take the daylight offset.
      {"Europe/Berlin",
       L"2024-03-31L02:30:00",
       {2024, 3, 0, 31, 2, 30, 0, 0},
       {2024, 3, 0, 31, 0, 30, 0, 0}},
      {"Europe/Berlin",
       L"2024-10-27L02:30:00",
       {2024, 10, 0, 27, 2, 30, 0, 0},
       {2024, 10, 0, 27, 0, 30, 0, 0}},
      {"Europe/Berlin",
       L"2024-10-27L03:00:00",
       {2024, 10, 0, 27, 3, 0, 0, 0},
       {2024, 10, 0, 27, 2, 0, 0, 0}},
      // From UTC the repeated hour comes out twice.
      {"Europe/Berlin",
       L"2024-10-27U00:59:59",
       {2024, 10, 0, 27, 2, 59, 59, 0},
       {2024, 10, 0, 27, 0, 59, 59, 0}},
      {"Europe/Berlin",
       L"2024-10-27U01:00:00",
       {2024, 10, 0, 27, 2, 0, 0, 0},
       {2024, 10, 0, 27, 1, 0, 0, 0}},
      {"America/New_York",
       L"2024-03-10L02:30:00",
       {2024, 3, 0, 10, 2, 30, 0, 0},
       {2024, 3, 0, 10, 6, 30, 0, 0}},
      {"America/New_York",
       L"2024-11-03L01:30:00",
       {2024, 11, 0, 3, 1, 30, 0, 0},
       {2024, 11, 0, 3, 5, 30, 0, 0}},
  });
}

TEST(PcTimePosix, LocalAndUtcValuesAcrossDaylightSavingInTheSouth) {
  ExpectConversions({
      {"Australia/Sydney",
       L"2024-01-15L12:00:00",
       {2024, 1, 0, 15, 12, 0, 0, 0},
       {2024, 1, 1, 15, 1, 0, 0, 0}},
      {"Australia/Sydney",
       L"2024-07-15L12:00:00",
       {2024, 7, 0, 15, 12, 0, 0, 0},
       {2024, 7, 1, 15, 2, 0, 0, 0}},
      {"Australia/Sydney",
       L"2024-10-06L02:30:00",
       {2024, 10, 0, 6, 2, 30, 0, 0},
       {2024, 10, 6, 5, 15, 30, 0, 0}},
      {"Australia/Sydney",
       L"2024-04-07L02:30:00",
       {2024, 4, 0, 7, 2, 30, 0, 0},
       {2024, 4, 6, 6, 15, 30, 0, 0}},
      {"Australia/Sydney",
       L"2024-04-06U16:00:00",
       {2024, 4, 0, 7, 2, 0, 0, 0},
       {2024, 4, 0, 6, 16, 0, 0, 0}},
      {"America/Sao_Paulo",
       L"2024-01-15L12:00:00",
       {2024, 1, 0, 15, 12, 0, 0, 0},
       {2024, 1, 1, 15, 15, 0, 0, 0}},
      {"Asia/Tokyo",
       L"2024-12-31U23:30:00",
       {2025, 1, 3, 1, 8, 30, 0, 0},
       {2024, 12, 0, 31, 23, 30, 0, 0}},
      {"Asia/Kolkata",
       L"2024-02-29L00:10:00",
       {2024, 2, 0, 29, 0, 10, 0, 0},
       {2024, 2, 3, 28, 18, 40, 0, 0}},
  });
}

TEST(PcTimePosix, ValuesThatAreNoValidTimeAreRefusedByTheConversion) {
  ScopedTz tz("Europe/Berlin");
  for (const wchar_t* value :
       {L"2023-02-29L12:00:00", L"2024-13-01L12:00:00", L"2024-00-10L12:00:00",
        L"2024-01-00U12:00:00", L"2024-01-01L24:00:00", L"2024-01-01L23:60:00",
        L"2024-01-01U23:59:60", L"1600-12-31U12:00:00", L"2024-01-01L-1:00:00", L"65535-01-01L"}) {
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    EXPECT_EQ(ResolveDeviceTime(value, utc, local), E_INVALIDARG) << value;
  }
}

TEST(PcTimePosix, NowGivesTheZonesLocalTimeBesideUtc) {
  ScopedTz tz("Asia/Kathmandu");  // +05:45 all year
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  ASSERT_EQ(ResolveDeviceTime(L"NOW", utc, local), S_OK);
  const auto minutes = [](const SYSTEMTIME& t) {
    return (t.wDay * 24 + t.wHour) * 60 + t.wMinute + (t.wSecond + t.wMilliseconds / 1000.0) / 60;
  };
  // Read one after the other, local first; a month's end between them is not worth a retry.
  if (local.wMonth == utc.wMonth) {
    EXPECT_NEAR(minutes(local) - minutes(utc), 5 * 60 + 45, 0.05);
  }
  EXPECT_GE(utc.wYear, 2024);
  EXPECT_LT(local.wDayOfWeek, 7);
  EXPECT_LT(utc.wMilliseconds, 1000);
}

}  // namespace
}  // namespace hx
