#pragma once
// Zeroing that the compiler may not drop, for buffers that held a passcode.

#include <cstddef>
#include <span>

namespace hx {

/// Overwrites every element with zero through a volatile access, so the stores are kept even
/// when the buffer is never read again.
template <typename T, std::size_t Extent>
void SecureWipe(std::span<T, Extent> buffer) {
  volatile T* cursor = buffer.data();
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    cursor[i] = T{};
  }
}

}  // namespace hx
