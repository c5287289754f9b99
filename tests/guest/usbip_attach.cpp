// Attaches a device exported over USB/IP to this Linux machine's vhci-hcd, as `usbip attach`
// does, without the usbip tools: imports bus id 1-1 from host:port and hands the connected
// socket to the kernel. The test guest runs it; it needs nothing but the vhci-hcd module.
//
//   usbip_attach HOST PORT VHCI_PORT

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "usbip/usbip_server.h"
#include "usbip/usbip_wire.h"

namespace {

constexpr char kAttachFile[] = "/sys/devices/platform/vhci_hcd.0/attach";

bool SendAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) {
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(sent));
  }
  return true;
}

bool ReceiveAll(int fd, std::span<std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t got = ::recv(fd, bytes.data(), bytes.size(), 0);
    if (got <= 0) {
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(got));
  }
  return true;
}

int Connect(const char* host, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (fd < 0 || ::inet_pton(AF_INET, host, &address.sin_addr) != 1 ||
      ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return -1;
  }
  return fd;
}

// Imports the device; its record on success.
bool Import(int fd, hx::usbip::DeviceRecord& record) {
  std::vector<std::uint8_t> request;
  const auto header = hx::usbip::EncodeOperationHeader({.code = hx::usbip::kRequestImport});
  request.insert(request.end(), header.begin(), header.end());
  std::array<std::uint8_t, hx::usbip::kBusIdSize> bus_id{};
  std::ranges::copy(std::string_view(hx::emu::kUsbipBusId), bus_id.begin());
  request.insert(request.end(), bus_id.begin(), bus_id.end());
  hx::usbip::OperationHeaderBytes reply{};
  hx::usbip::DeviceRecordBytes record_bytes{};
  if (!SendAll(fd, request) || !ReceiveAll(fd, reply)) {
    return false;
  }
  const auto answer = hx::usbip::DecodeOperationHeader(reply);
  if (answer.code != hx::usbip::kReplyImport || answer.status != hx::usbip::kStatusOk ||
      !ReceiveAll(fd, record_bytes)) {
    std::fprintf(stderr, "usbip_attach: import refused, status %u\n", answer.status);
    return false;
  }
  record = hx::usbip::DecodeDeviceRecord(record_bytes);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: usbip_attach HOST PORT VHCI_PORT\n");
    return 2;
  }
  const int fd = Connect(argv[1], std::atoi(argv[2]));
  hx::usbip::DeviceRecord record;
  if (fd < 0 || !Import(fd, record)) {
    std::fprintf(stderr, "usbip_attach: cannot import %s from %s:%s\n", hx::emu::kUsbipBusId,
                 argv[1], argv[2]);
    return 1;
  }
  // The kernel takes its own reference to the socket; this process may end afterwards.
  const std::uint32_t device_id = (record.bus_number << 16) | record.device_number;
  std::ofstream attach(kAttachFile);
  attach << argv[3] << ' ' << fd << ' ' << device_id << ' ' << record.speed << std::flush;
  if (!attach) {
    std::fprintf(stderr, "usbip_attach: %s refused the device\n", kAttachFile);
    return 1;
  }
  std::printf("attached %04x:%04x on vhci port %s\n", record.vendor_id, record.product_id, argv[3]);
  return 0;
}
