#pragma once
// A file of the state directory replaced whole: written aside under a temporary name and
// renamed over the old one, so that a crash never leaves half of it.

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/state_directory.h"

namespace hx::emu {

/// Writes bytes as the file name through temporary; false, and the old file kept, when it
/// cannot be written.
bool ReplaceStateFile(CStateDirectory& dir, const char* temporary, const char* name,
                      std::span<const std::uint8_t> bytes);

inline bool ReplaceStateFile(CStateDirectory& dir, const char* temporary, const char* name,
                             std::string_view text) {
  return ReplaceStateFile(
      dir, temporary, name,
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace hx::emu
