#pragma once
// A sysfs tree in a temporary directory, laid out as the kernel lays out video nodes of USB
// devices: class/video4linux/videoN/device links to the USB interface, whose directory sits
// in its device's directory, with the attributes and driver link the backend reads.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_file.h"

namespace hx::test {

struct FakeUsbDevice {
  std::string name = "1-1";  ///< the device's directory, which names its port
  std::uint16_t vendor_id = 0xF0C5;
  std::uint16_t product_id = 0xE1A7;
  std::string configuration = "1";  ///< bConfigurationValue as sysfs prints it
  /// Its raw descriptors; empty: what the virtual HX7300 announces.
  std::vector<std::uint8_t> descriptors{};
};

struct FakeUsbInterface {
  std::uint8_t number = 3;
  std::uint8_t interface_class = 0x0E;
  std::uint8_t subclass = 0x01;
  std::string driver = "uvcvideo";  ///< empty: bound to no driver
};

class FakeSysfs {
 public:
  FakeSysfs();
  const std::filesystem::path& Root() const { return root_; }
  /// Adds node videoN for an interface of a device (the device is made on first use).
  void AddNode(unsigned number, const FakeUsbDevice& device = {},
               const FakeUsbInterface& interface = {});

 private:
  TempDir dir_;
  std::filesystem::path root_;
};

/// The descriptors the virtual HX7300 announces, as sysfs shows them.
std::vector<std::uint8_t> VirtualHx7300Descriptors();

}  // namespace hx::test
