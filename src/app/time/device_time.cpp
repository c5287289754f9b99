#include "app/time/device_time.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "app/option_token.h"

namespace hx {
namespace {

// Where each field of an explicit value begins, and where its letter stands.
constexpr std::size_t kYearAt = 0;
constexpr std::size_t kMonthAt = 5;
constexpr std::size_t kDayAt = 8;
constexpr std::size_t kZoneLetterAt = 10;
constexpr std::size_t kHourAt = 11;
constexpr std::size_t kMinuteAt = 14;
constexpr std::size_t kSecondAt = 17;
constexpr std::uint32_t kMaxFieldDigits = 65535;

bool IsBlank(wchar_t ch) {
  return ch == L' ' || (ch >= L'\t' && ch <= L'\r');
}

// The C library's decimal conversion of the text from position at: leading blanks skipped, an
// optional sign, digits up to the first other character. Nothing beyond the value's end is
// read; no text reads as 0. The record keeps the low 16 bits, as a time record's field does,
// but digits above 65535 are refused rather than wrapped into another, valid date.
std::optional<WORD> ReadField(std::wstring_view value, std::size_t at) {
  std::size_t i = at;
  while (i < value.size() && IsBlank(value[i])) {
    ++i;
  }
  bool negative = false;
  if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) {
    negative = value[i] == L'-';
    ++i;
  }
  std::uint32_t magnitude = 0;
  for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i) {
    magnitude = magnitude * 10 + static_cast<std::uint32_t>(value[i] - L'0');
    if (magnitude > kMaxFieldDigits) {
      return std::nullopt;
    }
  }
  return static_cast<WORD>(negative ? 0x10000u - magnitude : magnitude);
}

HRESULT FillGivenTime(std::wstring_view value, SYSTEMTIME& target) {
  const std::optional<WORD> fields[] = {
      ReadField(value, kYearAt), ReadField(value, kMonthAt),  ReadField(value, kDayAt),
      ReadField(value, kHourAt), ReadField(value, kMinuteAt), ReadField(value, kSecondAt),
  };
  if (std::ranges::any_of(fields, [](const std::optional<WORD>& field) { return !field; })) {
    return kHrTimeFieldTooLarge;
  }
  target.wYear = *fields[0];
  target.wMonth = *fields[1];
  target.wDay = *fields[2];
  target.wHour = *fields[3];
  target.wMinute = *fields[4];
  target.wSecond = *fields[5];
  target.wMilliseconds = 0;
  return S_OK;
}

}  // namespace

HRESULT ResolveDeviceTime(const wchar_t* value, SYSTEMTIME& utc, SYSTEMTIME& local) {
  return ResolveDeviceTime(platform::SystemPcTime(), value, utc, local);
}

HRESULT ResolveDeviceTime(platform::PcTime& pc, const wchar_t* value, SYSTEMTIME& utc,
                          SYSTEMTIME& local) {
  std::unique_ptr<platform::PcTimeZone> zone;
  const HRESULT hr = pc.ReadTimeZone(zone);
  if (FAILED(hr)) {
    return hr;
  }
  const std::wstring_view text = value != nullptr ? value : L"";
  if (EqualsIgnoreCase(text, L"now")) {
    pc.LocalNow(local);
    pc.UtcNow(utc);
    return S_OK;
  }
  const wchar_t letter = text.size() > kZoneLetterAt ? text[kZoneLetterAt] : L'\0';
  if (letter == L'L') {
    const HRESULT filled = FillGivenTime(text, local);
    return FAILED(filled) ? filled : zone->LocalToUtc(local, utc);
  }
  if (letter == L'U') {
    const HRESULT filled = FillGivenTime(text, utc);
    return FAILED(filled) ? filled : zone->UtcToLocal(utc, local);
  }
  return E_INVALIDARG;
}

}  // namespace hx
