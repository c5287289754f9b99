// The PC's zone through the system's own calls: the records they give and the times they
// refuse, which must be those the POSIX build refuses.

#include <gtest/gtest.h>

#include <cwchar>

#include "app/time/device_time.h"
#include "support/system_time.h"

namespace hx {
namespace {

TEST(PcTimeWin32, TimesThatAreNotValidAreRefusedAsOnPosix) {
  // Not 2023-02-29: Wine's conversion takes the 29th of February of any year, where Windows
  // itself refuses it.
  for (const wchar_t* value :
       {L"2024-13-01L12:00:00", L"2024-02-30U12:00:00", L"2024-00-10L12:00:00",
        L"2024-01-00U12:00:00", L"2024-01-01L24:00:00", L"2024-01-01L23:60:00",
        L"2024-01-01U23:59:60", L"1600-12-31U12:00:00", L"2024-01-01L-1:00:00"}) {
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    EXPECT_EQ(ResolveDeviceTime(value, utc, local), E_INVALIDARG) << value;
  }
}

TEST(PcTimeWin32, LocalToUtcAndBackGivesTheSameTimeWithItsDayOfWeek) {
  SYSTEMTIME utc{};
  SYSTEMTIME local{};
  ASSERT_EQ(ResolveDeviceTime(L"2024-02-29L12:34:56", utc, local), S_OK);
  EXPECT_EQ(local, (SYSTEMTIME{2024, 2, 0, 29, 12, 34, 56, 0}));
  // 2024-02-28 is a Wednesday; a zone is never more than a day from UTC.
  ASSERT_GE(utc.wDay, utc.wMonth == 2 ? 28 : 1);
  EXPECT_EQ(utc.wDayOfWeek, utc.wMonth == 3 ? 5 : utc.wDay - 25);
  wchar_t value[32];
  std::swprintf(value, 32, L"%04u-%02u-%02uU%02u:%02u:%02u", utc.wYear, utc.wMonth, utc.wDay,
                utc.wHour, utc.wMinute, utc.wSecond);
  SYSTEMTIME utc_again{};
  SYSTEMTIME local_again{};
  ASSERT_EQ(ResolveDeviceTime(value, utc_again, local_again), S_OK);
  EXPECT_EQ(local_again, (SYSTEMTIME{2024, 2, 4, 29, 12, 34, 56, 0}));
}

}  // namespace
}  // namespace hx
