#include "console/passcode_file.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/locale_text.h"
#include "platform/private_file.h"
#include "platform/secure_wipe.h"

namespace hx {
namespace {

CPasscodeFile* g_file_in_use = nullptr;

}  // namespace

CPasscodeFile::~CPasscodeFile() {
  SecureWipe(std::span(bytes_));
}

HRESULT CPasscodeFile::Open(const std::wstring& path, std::string& problem) {
  position_ = 0;
  return platform::ReadPrivateFile(path, bytes_, size_, problem);
}

void CPasscodeFile::NextLine(std::span<wchar_t> dest, std::size_t& count) {
  count = 0;
  if (position_ >= size_) {
    return;
  }
  const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(position_);
  const auto last = bytes_.begin() + static_cast<std::ptrdiff_t>(size_);
  const auto end = std::find(first, last, '\n');
  std::string_view line(&*first, static_cast<std::size_t>(end - first));
  position_ += line.size() + (end == last ? 0 : 1);
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  // Room for the line end that a console gives.
  const std::optional<std::size_t> decoded =
      dest.size() >= 2 ? platform::WidenLocaleTextInto(line, dest.first(dest.size() - 2))
                       : std::nullopt;
  if (!decoded) {
    SecureWipe(dest);
    count = dest.size();
    return;
  }
  dest[*decoded] = L'\r';
  dest[*decoded + 1] = L'\n';
  count = *decoded + 2;
}

ScopedPasscodeFile::ScopedPasscodeFile(CPasscodeFile& file) {
  g_file_in_use = &file;
}

ScopedPasscodeFile::~ScopedPasscodeFile() {
  g_file_in_use = nullptr;
}

CPasscodeFile* PasscodeFileInUse() {
  return g_file_in_use;
}

}  // namespace hx
