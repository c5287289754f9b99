// Device replies and status packets are untrusted bytes: decoding and printing any 52 bytes
// must stay inside the packet, and a status list never names more entries than it holds.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "console/console_io.h"
#include "console/silent_console.h"
#include "operations/device_message_report.h"
#include "protocol/daa_settings.h"
#include "protocol/device_message.h"
#include "protocol/status_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<std::uint8_t, hx::kXuPacketSize> bytes{};
  std::copy_n(data, std::min(size, bytes.size()), bytes.begin());
  const hx::XuPacket packet = hx::XuPacket::FromBytes(bytes);

  hx::SilentConsole console;
  hx::ScopedConsole scoped(console);
  hx::ReportDeviceMessage(packet);

  const hx::XuStatusPacket status(packet);
  if (status.Entries().size() > hx::kStatusListCapacity) {
    std::abort();
  }
  const hx::DaaSettings settings = hx::DaaSettings::FromReply(packet);
  if (settings.ChecksumMatches() != (settings.checksum == hx::DaaSettings::ChecksumOf(packet))) {
    std::abort();
  }
  return 0;
}
