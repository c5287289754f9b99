#include "model/state_file.h"

namespace hx::emu {

bool ReplaceStateFile(CStateDirectory& dir, const char* temporary, const char* name,
                      std::span<const std::uint8_t> bytes) {
  CStateFile file;
  const bool written = SUCCEEDED(dir.Create(temporary, file)) && SUCCEEDED(file.Write(bytes)) &&
                       SUCCEEDED(file.Close());
  if (!written) {
    dir.Remove(temporary);
    return false;
  }
  return SUCCEEDED(dir.Replace(temporary, name));
}

}  // namespace hx::emu
