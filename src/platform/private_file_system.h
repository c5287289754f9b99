#pragma once
// What reading a private file (private_file.h) does its own way on each system: opening it and
// telling whether anyone but its owner may read it. The read itself goes through the calls on an
// open file (file_handle.h).

#include <cstdint>
#include <string>

#include "platform/hresult.h"

namespace hx::platform {

/// Opens path for reading when it is a regular file that ReadPrivateFile may read; file receives
/// the open file's handle, and is left as it is on failure. Refused as ReadPrivateFile says,
/// with why in problem where the system's failure does not say it.
HRESULT OpenPrivateFile(const std::wstring& path, std::intptr_t& file, std::string& problem);

}  // namespace hx::platform
