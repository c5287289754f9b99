#include "model/passcode_store.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "model/state_file.h"

namespace hx::emu {

PasscodeStore::PasscodeStore(std::string initial, CStateDirectory* state_dir)
    : passcode_(std::move(initial)), state_dir_(state_dir) {
  if (state_dir_ != nullptr) {
    ReadKept(*state_dir_, passcode_);
  }
}

bool PasscodeStore::ReadKept(const CStateDirectory& dir, std::string& passcode) {
  std::vector<std::uint8_t> kept;
  if (FAILED(dir.Read(kPasscodeFile, kept))) {
    return false;
  }
  std::string_view text(reinterpret_cast<const char*>(kept.data()), kept.size());
  if (text.ends_with('\n')) {
    text.remove_suffix(text.ends_with("\r\n") ? 2 : 1);
  }
  passcode.assign(text);
  return true;
}

bool PasscodeStore::Matches(std::span<const std::uint8_t> text) const {
  return std::ranges::equal(text, passcode_, [](std::uint8_t byte, char c) {
    return byte == static_cast<std::uint8_t>(c);
  });
}

bool PasscodeStore::Replace(std::span<const std::uint8_t> text) {
  std::string replacement(text.begin(), text.end());
  if (state_dir_ != nullptr && !Keep(replacement)) {
    return false;
  }
  passcode_ = std::move(replacement);
  return true;
}

bool PasscodeStore::Keep(const std::string& passcode) const {
  return ReplaceStateFile(*state_dir_, kPasscodeTemporary, kPasscodeFile, passcode);
}

}  // namespace hx::emu
