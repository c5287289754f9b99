#pragma once

#include "platform/hresult.h"

namespace hx {

/// Reports a failure once, where it is detected: "(0x%08X) : <system text>" on standard output
/// and on the debugger output. The context names the failing operation for whoever reads the
/// code; it is printed nowhere.
void ReportError(const char* context, HRESULT code);

}  // namespace hx
