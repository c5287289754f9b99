#pragma once
// What the read-only file view (file_view.h) does its own way on each system: which files it
// opens. The rest it does through the calls on an open file (file_handle.h).

#include <cstdint>

#include "platform/hresult.h"

namespace hx::platform {

/// Opens path for reading as CReadOnlyFileView::Open says, refusing what it refuses; file
/// receives the open file's handle, and is left as it is on failure.
HRESULT OpenFileToView(const wchar_t* path, std::intptr_t& file);

}  // namespace hx::platform
