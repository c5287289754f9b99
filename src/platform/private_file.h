#pragma once
// A small file that holds a secret for the run (a passcode), read only when nobody but its
// owner may read it, as a private key is: a secret that others can read is no longer one.

#include <cstddef>
#include <span>
#include <string>

#include "platform/hresult.h"

namespace hx::platform {

/// Reads the whole file at path into buffer; size receives how many bytes it holds. Refused,
/// with why in problem: 0x80070005 when others than its owner (and, on Windows, SYSTEM and
/// the administrators) may read it, or it belongs to another user; 0x8007007A when it is
/// larger than buffer; the system's failure when it cannot be opened or read (0x80070002 when
/// there is none). Nothing of the file stays anywhere but in buffer.
HRESULT ReadPrivateFile(const std::wstring& path, std::span<char> buffer, std::size_t& size,
                        std::string& problem);

}  // namespace hx::platform
