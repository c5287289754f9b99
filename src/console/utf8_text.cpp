#include "console/utf8_text.h"

#include <cstdint>

#include "platform/code_page_1252.h"

namespace hx {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t ch) {
  return ch >= 0xD800 && ch <= 0xDBFF;
}

bool IsLowSurrogate(char32_t ch) {
  return ch >= 0xDC00 && ch <= 0xDFFF;
}

void Append(std::string& out, char32_t ch) {
  if (ch > 0x10FFFF || IsHighSurrogate(ch) || IsLowSurrogate(ch)) {
    ch = kReplacement;
  }
  if (ch < 0x80) {
    out.push_back(static_cast<char>(ch));
  } else if (ch < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  } else if (ch < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (ch >> 12)));
    out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (ch >> 18)));
    out.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
  }
}

}  // namespace

std::string Utf8FromWide(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t ch = static_cast<char32_t>(text[i]);
    if (IsHighSurrogate(ch) && i + 1 < text.size() &&
        IsLowSurrogate(static_cast<char32_t>(text[i + 1]))) {
      ch = 0x10000 + ((ch - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
    }
    Append(out, ch);
  }
  return out;
}

std::string Utf8Line(std::wstring_view line) {
  while (line.ends_with(L'\n') || line.ends_with(L'\r')) {
    line.remove_suffix(1);
  }
  return Utf8FromWide(line);
}

std::string Utf8FromAnsi(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char byte : text) {
    Append(out, static_cast<char32_t>(DecodeCp1252(static_cast<std::uint8_t>(byte))));
  }
  return out;
}

}  // namespace hx
