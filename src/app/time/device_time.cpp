// Time-zone resolution of the PC is not written yet. Until it is, no zone is known, so every
// "-t:" is refused (the main usage screen is shown) and nothing is sent to the device.
#include "app/time/device_time.h"

namespace hx {

HRESULT ResolveZoneIndex(std::int32_t& index) {
  index = -1;
  return E_INVALIDARG;
}

HRESULT ResolveDeviceTime(const wchar_t*, SYSTEMTIME&, SYSTEMTIME&) {
  return E_INVALIDARG;
}

}  // namespace hx
