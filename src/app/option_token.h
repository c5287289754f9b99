#pragma once
// The shapes that every option token behind the mode argument takes: a dash and one letter,
// optionally followed by a colon and a value that runs to the end of the token.

#include <cstddef>
#include <span>
#include <string_view>

namespace hx {

/// Lower-cases A to Z only, so that a keyword matches the same tokens whatever the locale.
constexpr wchar_t FoldAscii(wchar_t ch) {
  return ch >= L'A' && ch <= L'Z' ? static_cast<wchar_t>(ch - L'A' + L'a') : ch;
}

/// True when text equals keyword (given in lower case) without regard to ASCII case.
constexpr bool EqualsIgnoreCase(std::wstring_view text, std::wstring_view keyword) {
  if (text.size() != keyword.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (FoldAscii(text[i]) != keyword[i]) {
      return false;
    }
  }
  return true;
}

/// One command-line token seen as an option. The letter is compared exactly (lower case).
class OptionToken {
 public:
  /// A null token is treated as an empty one, which no parser accepts.
  explicit OptionToken(const wchar_t* token) : text_(token != nullptr ? token : L"") {}

  /// The flag letter, or 0 when the token does not begin with a dash and a letter.
  wchar_t Letter() const { return text_.size() >= 2 && text_[0] == L'-' ? text_[1] : L'\0'; }
  /// The character right behind the letter, or 0 when there is none.
  wchar_t AfterLetter() const { return text_.size() >= 3 ? text_[2] : L'\0'; }
  /// True for exactly the dash and the letter, with nothing behind.
  bool IsBare() const { return text_.size() == 2; }
  /// True when a colon follows the letter, so that the token carries a value (maybe empty).
  bool HasValue() const { return Letter() != L'\0' && AfterLetter() == L':'; }
  /// The value behind the colon; zero-terminated, since it runs to the end of the token.
  /// Only meaningful when HasValue() holds.
  const wchar_t* Value() const { return text_.data() + 3; }
  std::wstring_view ValueView() const { return text_.substr(3); }
  /// The whole token, as typed.
  std::wstring_view Text() const { return text_; }

 private:
  std::wstring_view text_;
};

/// The tokens behind the program name and the mode argument.
inline constexpr std::size_t kFirstOptionIndex = 2;

/// True when accept(token) holds for every token behind the mode argument; stops at the first
/// token that it refuses.
template <typename Accept>
bool EveryOptionToken(std::span<const wchar_t* const> arguments, Accept accept) {
  for (std::size_t i = kFirstOptionIndex; i < arguments.size(); ++i) {
    if (!accept(OptionToken(arguments[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace hx
