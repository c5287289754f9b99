#include "device/backends.h"

namespace hx {
namespace {

// Hardware access through uvcvideo's extension-unit controls is not built yet; until it is,
// the platform discovery finds no HX7300 and says so with the device-not-connected result.
class UnavailablePlatformChannel final : public XuChannel {
 public:
  HRESULT Open(CAutoResetEvent&) override { return kHrDeviceNotConnected; }
  HRESULT Set(std::uint8_t, XuConstBytes) override { return kHrDeviceNotConnected; }
  HRESULT Get(std::uint8_t, XuBytes) override { return kHrDeviceNotConnected; }
  void Close() override {}
};

}  // namespace

std::unique_ptr<XuChannel> MakePlatformChannel() {
  return std::make_unique<UnavailablePlatformChannel>();
}

}  // namespace hx
