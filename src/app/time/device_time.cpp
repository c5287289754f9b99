// SKELETON-STUB: a stand-in until the PC time-zone resolution is written. It knows no zone, so
// every "-t:" is refused (the main usage screen is shown) and nothing is sent to the device.
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
