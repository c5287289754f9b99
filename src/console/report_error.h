#pragma once

#include <string>

#include "platform/hresult.h"

namespace hx {

/// Reports a failure once, where it is detected: "(0x%08X) : <system text>" on standard output
/// and on the debugger output, as one write each. The system text brings the line end; a code
/// without a text prints "(null)" in its place and no line end. The context names the failing
/// operation for whoever reads the code; it is printed nowhere.
void ReportError(const char* context, HRESULT code);

/// The system's message text for code (ending in "\r\n"), or "(null)" without a line end when
/// there is none: the text that failure lines carry in the text position.
std::wstring SystemMessageOrNull(HRESULT code);

}  // namespace hx
