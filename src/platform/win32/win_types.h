#pragma once
// The Windows-style result and time types: on Windows they are the SDK's own. Only the headers
// that define them are included, so that the rest of the code does not see the whole API and
// its macros.

#include <windef.h>
#include <winerror.h>
// After windef.h, whose types it uses.
#include <minwinbase.h>
