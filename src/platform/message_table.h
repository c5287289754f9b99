#pragma once
// The system's message text for a result code, as the failure lines print it.

#include <optional>
#include <string>

#include "platform/hresult.h"

namespace hx::platform {

/// The system's text for code, ending in "\r\n"; nullopt when the system has none. On Windows
/// the system message table; elsewhere the project's own table of the codes the utility can
/// produce, keyed by the full HRESULT value (0 gives the success text).
std::optional<std::wstring> LookupMessageText(HRESULT code);

}  // namespace hx::platform
