// SKELETON-STUB: replaced by the console helpers.
#include "console/report_error.h"

#include <cstdio>

namespace hx {
void ReportError(const char*, HRESULT code) {
  std::printf("(0x%08X) : (null)", static_cast<unsigned>(code));
}
}  // namespace hx
