// Handlers whose device dialogues are not written yet. Each refuses the job the same way: one
// report and E_NOTIMPL as the exit status, after the device was opened.
#include "console/report_error.h"
#include "operations/handlers.h"

namespace hx {

HRESULT HandleNetImageUpdateMode(const ModeOptions&, CDuzuVideoCaptureDevice&) {
  ReportError("HandleNetImageUpdateMode() failed!", E_NOTIMPL);
  return E_NOTIMPL;
}

}  // namespace hx
