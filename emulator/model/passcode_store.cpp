#include "model/passcode_store.h"

#include <algorithm>
#include <vector>

#include "model/state_file.h"

namespace hx::emu {

PasscodeStore::PasscodeStore(std::string initial, CStateDirectory* state_dir)
    : passcode_(std::move(initial)), state_dir_(state_dir) {
  std::vector<std::uint8_t> kept;
  if (state_dir_ != nullptr && SUCCEEDED(state_dir_->Read(kPasscodeFile, kept))) {
    passcode_.assign(kept.begin(), kept.end());
  }
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
