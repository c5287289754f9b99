#include "model/passcode_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace hx::emu {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPasscodeFile = "PASSCODE";
constexpr const char* kPasscodeTemporary = "PASSCODE.TMP";

}  // namespace

PasscodeStore::PasscodeStore(std::string initial, std::string state_dir)
    : passcode_(std::move(initial)), state_dir_(std::move(state_dir)) {
  if (state_dir_.empty()) {
    return;
  }
  std::ifstream kept(fs::path(state_dir_) / kPasscodeFile, std::ios::binary);
  if (kept) {
    passcode_.assign(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>());
  }
}

bool PasscodeStore::Matches(std::span<const std::uint8_t> text) const {
  return std::ranges::equal(text, passcode_, [](std::uint8_t byte, char c) {
    return byte == static_cast<std::uint8_t>(c);
  });
}

bool PasscodeStore::Replace(std::span<const std::uint8_t> text) {
  std::string replacement(text.begin(), text.end());
  if (!state_dir_.empty() && !Keep(replacement)) {
    return false;
  }
  passcode_ = std::move(replacement);
  return true;
}

bool PasscodeStore::Keep(const std::string& passcode) const {
  // Written aside and renamed over the old one, so that a crash never leaves half a passcode.
  const fs::path dir(state_dir_);
  std::error_code error;
  fs::create_directories(dir, error);
  {
    std::ofstream out(dir / kPasscodeTemporary, std::ios::binary | std::ios::trunc);
    out.write(passcode.data(), static_cast<std::streamsize>(passcode.size()));
    if (!out.flush()) {
      return false;
    }
  }
  fs::rename(dir / kPasscodeTemporary, dir / kPasscodeFile, error);
  return !error;
}

}  // namespace hx::emu
