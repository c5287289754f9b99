#include "device/linux/uvc_errors.h"

#include <cerrno>

#include "platform/system_error.h"

namespace hx::uvc {
namespace {

constexpr std::uint32_t kErrorGenFailure = 31;

struct DriverMeaning {
  int errno_value;
  std::uint32_t win32_error;
};

// How uvcvideo uses these: EPIPE is a stalled request whose cause the device did not say,
// ENOBUFS a size other than the control's, ERANGE the device's "out of range", EREMOTE its
// power state; ENODEV, ESHUTDOWN and EPROTO come once the device has gone from the bus.
constexpr DriverMeaning kDriverMeanings[] = {
    {EPIPE, kErrorGenFailure},          {ENOBUFS, kErrorInsufficientBuffer},
    {ERANGE, kErrorInvalidParameter},   {EREMOTE, kErrorNotReady},
    {ENODEV, kErrorDeviceNotConnected}, {ESHUTDOWN, kErrorDeviceNotConnected},
    {EPROTO, kErrorDeviceNotConnected},
};

}  // namespace

HRESULT ResultFromErrno(int e) {
  for (const DriverMeaning& meaning : kDriverMeanings) {
    if (meaning.errno_value == e) {
      return HresultFromError(meaning.win32_error);
    }
  }
  return platform::HresultFromErrno(e);
}

}  // namespace hx::uvc
