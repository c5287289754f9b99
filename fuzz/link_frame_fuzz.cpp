// Decodes whatever a virtual device sends as link frames. Oracle: a frame that decodes
// encodes back to the same bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "protocol/link_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  for (std::size_t at = 0; at + hx::link::kDeviceFrameSize <= input.size();
       at += hx::link::kDeviceFrameSize) {
    const auto bytes = input.subspan(at).first<hx::link::kDeviceFrameSize>();
    hx::link::DeviceFrame frame;
    if (hx::link::DecodeDeviceFrame(bytes, frame) != hx::link::FrameError::kNone) {
      continue;
    }
    const hx::link::DeviceFrameBytes again = hx::link::EncodeDeviceFrame(frame);
    if (!std::equal(again.begin(), again.end(), bytes.begin())) {
      std::abort();
    }
    if (frame.kind == hx::link::DeviceFrameKind::kHello &&
        hx::link::HelloPath(frame).size() > hx::kXuPacketSize) {
      std::abort();
    }
  }
  return 0;
}
