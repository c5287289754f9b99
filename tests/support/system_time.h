#pragma once
// Time records compared field by field and shown readably when a test fails. SYSTEMTIME is a
// type of the global namespace, so these live there too.

#include <ostream>

#include "platform/hresult.h"

inline bool operator==(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
         a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute &&
         a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

inline void PrintTo(const SYSTEMTIME& t, std::ostream* out) {
  *out << t.wYear << '-' << t.wMonth << '-' << t.wDay << " day " << t.wDayOfWeek << ' ' << t.wHour
       << ':' << t.wMinute << ':' << t.wSecond << '.' << t.wMilliseconds;
}
