#pragma once
// The device passcode. With a state directory a changed passcode is kept there, so that it
// survives a restart of the device; it then holds over the one the device was started with.

#include <cstdint>
#include <span>
#include <string>

#include "platform/state_directory.h"

namespace hx::emu {

class PasscodeStore {
 public:
  /// The file that keeps a changed passcode, and the one it is written in first.
  static constexpr const char* kPasscodeFile = "PASSCODE";
  static constexpr const char* kPasscodeTemporary = "PASSCODE.TMP";

  /// initial is the passcode unless state_dir (when not null) keeps a changed one.
  PasscodeStore(std::string initial, CStateDirectory* state_dir);

  /// The passcode that dir keeps, without the one line end ("\n" or "\r\n") that a person
  /// writing the file with `echo` or an editor puts after it; false when dir keeps none.
  static bool ReadKept(const CStateDirectory& dir, std::string& passcode);

  /// True when text is exactly the passcode's bytes.
  bool Matches(std::span<const std::uint8_t> text) const;
  /// Replaces the passcode; false, and the old one stays, when the state directory cannot
  /// keep the new one.
  bool Replace(std::span<const std::uint8_t> text);

 private:
  bool Keep(const std::string& passcode) const;

  std::string passcode_;
  CStateDirectory* state_dir_;
};

}  // namespace hx::emu
