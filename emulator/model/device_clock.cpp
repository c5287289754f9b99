#include "model/device_clock.h"

#include <cstdio>
#include <cstdlib>

#include "model/state_file.h"

namespace hx::emu {
namespace {

constexpr int kFirstYear = 1601;
constexpr int kLastYear = 30827;
constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kMaxZoneOffsetSeconds = 14 * kSecondsPerHour;

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidTime(const SYSTEMTIME& t) {
  return t.wYear >= kFirstYear && t.wYear <= kLastYear && t.wMonth >= 1 && t.wMonth <= 12 &&
         t.wDay >= 1 && t.wDay <= DaysInMonth(t.wYear, t.wMonth) && t.wHour < 24 &&
         t.wMinute < 60 && t.wSecond < 60 && t.wMilliseconds < 1000;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = year - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return std::int64_t{era} * 146097 + day_of_era - 719468;
}

std::int64_t SecondsOf(const SYSTEMTIME& t) {
  return DaysFromCivil(t.wYear, t.wMonth, t.wDay) * 24 * kSecondsPerHour +
         std::int64_t{t.wHour} * kSecondsPerHour + std::int64_t{t.wMinute} * 60 + t.wSecond;
}

std::string DescribeTime(const char* label, const SYSTEMTIME& t) {
  char line[96];
  std::snprintf(line, sizeof line, "%s %04u-%02u-%02u %02u:%02u:%02u.%03u day-of-week %u\n", label,
                t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
                t.wDayOfWeek);
  return line;
}

}  // namespace

bool IsValidClockSetting(const ClockSetting& setting) {
  return IsValidTime(setting.local) && IsValidTime(setting.utc) &&
         std::llabs(SecondsOf(setting.local) - SecondsOf(setting.utc)) <= kMaxZoneOffsetSeconds;
}

std::string DescribeClockSetting(const ClockSetting& setting) {
  return "zone-index " + std::to_string(setting.zone_index) + "\n" +
         DescribeTime("local", setting.local) + DescribeTime("utc", setting.utc);
}

bool DeviceClock::Set(const ClockSetting& setting) {
  if (state_dir_ != nullptr &&
      !ReplaceStateFile(*state_dir_, kClockTemporary, kClockFile, DescribeClockSetting(setting))) {
    return false;
  }
  setting_ = setting;
  return true;
}

}  // namespace hx::emu
