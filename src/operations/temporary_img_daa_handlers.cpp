// SKELETON-STUB: lets the program link until the image update and DAA read handlers are merged.
#include "console/report_error.h"
#include "operations/handlers.h"

namespace hx {

HRESULT HandleImageUpdateMode(const ModeOptions&, CDuzuVideoCaptureDevice&) {
  ReportError("HandleImageUpdateMode() failed!", E_NOTIMPL);
  return E_NOTIMPL;
}

HRESULT HandleDAAReadMode(const ModeOptions&, CDuzuVideoCaptureDevice&) {
  ReportError("HandleDAAReadMode() failed!", E_NOTIMPL);
  return E_NOTIMPL;
}

}  // namespace hx
