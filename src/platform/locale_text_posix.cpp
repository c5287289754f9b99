#include "platform/locale_text.h"

#include <climits>
#include <cwchar>

namespace hx::platform {
namespace {

constexpr wchar_t kEscapeBase = 0xDC80;
constexpr std::size_t kDecodeFailed = static_cast<std::size_t>(-1);
constexpr std::size_t kDecodeIncomplete = static_cast<std::size_t>(-2);

bool IsEscape(wchar_t ch) {
  return ch >= kEscapeBase && ch <= kEscapeBase + 0x7F;
}

}  // namespace

std::optional<std::size_t> WidenLocaleTextInto(std::string_view bytes, std::span<wchar_t> out) {
  std::size_t count = 0;
  const auto put = [&](wchar_t ch) {
    if (count < out.size()) {
      out[count] = ch;
    }
    ++count;
  };
  std::mbstate_t state{};
  std::size_t position = 0;
  while (position < bytes.size()) {
    wchar_t ch = 0;
    const std::size_t used =
        std::mbrtowc(&ch, bytes.data() + position, bytes.size() - position, &state);
    const auto byte = static_cast<unsigned char>(bytes[position]);
    const bool undecodable = used == kDecodeFailed || used == kDecodeIncomplete;
    // An escape that arrives decoded would come back as a different byte: escape it too.
    if ((undecodable && byte >= 0x80) || (!undecodable && IsEscape(ch))) {
      put(static_cast<wchar_t>(kEscapeBase + (byte - 0x80)));
      state = std::mbstate_t{};
      ++position;
      continue;
    }
    if (undecodable) {
      put(static_cast<wchar_t>(byte));
      state = std::mbstate_t{};
      ++position;
      continue;
    }
    put(ch);
    position += used == 0 ? 1 : used;
  }
  if (count > out.size()) {
    return std::nullopt;
  }
  return count;
}

std::wstring WidenLocaleText(std::string_view bytes) {
  // Never more characters than bytes.
  std::wstring wide(bytes.size(), L'\0');
  wide.resize(WidenLocaleTextInto(bytes, wide).value_or(0));
  return wide;
}

std::optional<std::string> NarrowLocaleText(std::wstring_view text) {
  std::string bytes;
  std::mbstate_t state{};
  char encoded[MB_LEN_MAX];
  for (const wchar_t ch : text) {
    if (IsEscape(ch)) {
      bytes.push_back(static_cast<char>(0x80 + (ch - kEscapeBase)));
      continue;
    }
    const std::size_t length = std::wcrtomb(encoded, ch, &state);
    if (length == kDecodeFailed) {
      return std::nullopt;
    }
    bytes.append(encoded, length);
  }
  return bytes;
}

}  // namespace hx::platform
