// A device's raw descriptors are whatever the device sent: the search for the extension unit
// must stay inside them whatever they hold, and what it finds cannot depend on bytes that come
// after the unit it found.
//
// Input: the configuration value to look in, then the descriptors.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "protocol/uvc_descriptors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::uint8_t configuration = data[0];
  // A copy of exactly the input's size, so that a read past its end is caught.
  const std::vector<std::uint8_t> descriptors(data + 1, data + size);
  const auto found = hx::usb::FindExtensionUnit(
      descriptors, configuration, hx::usb::kControlInterfaceNumber, hx::usb::kExtensionUnitGuid);
  if (found) {
    std::vector<std::uint8_t> longer = descriptors;
    longer.insert(longer.end(), {9, 4, 3, 0, 1, 0x0E, 0x01, 0, 0, 0, 0x24, 0x06});
    if (hx::usb::FindExtensionUnit(longer, configuration, hx::usb::kControlInterfaceNumber,
                                   hx::usb::kExtensionUnitGuid) != found) {
      std::abort();
    }
  }
  return 0;
}
