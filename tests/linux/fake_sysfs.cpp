#include "linux/fake_sysfs.h"

#include <cstdio>
#include <fstream>

#include "usb/camera_descriptors.h"

namespace hx::test {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& file, const std::string& text) {
  std::ofstream(file) << text << '\n';
}

std::string Hex(unsigned value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "%0*x", digits, value);
  return text;
}

}  // namespace

std::vector<std::uint8_t> VirtualHx7300Descriptors() {
  std::vector<std::uint8_t> bytes = emu::usb::DeviceDescriptor();
  const auto configuration = emu::usb::ConfigurationDescriptor();
  bytes.insert(bytes.end(), configuration.begin(), configuration.end());
  return bytes;
}

FakeSysfs::FakeSysfs() : root_(dir_.Path() / "sys") {
  fs::create_directories(root_ / "class" / "video4linux");
  fs::create_directories(root_ / "bus" / "usb" / "drivers" / "uvcvideo");
}

void FakeSysfs::AddNode(unsigned number, const FakeUsbDevice& device,
                        const FakeUsbInterface& interface) {
  const fs::path device_dir = root_ / "devices" / "pci0000:00" / "usb1" / device.name;
  const fs::path interface_dir =
      device_dir / (device.name + ":1." + std::to_string(interface.number));
  const fs::path node_dir = interface_dir / "video4linux" / ("video" + std::to_string(number));
  fs::create_directories(node_dir);
  WriteText(device_dir / "idVendor", Hex(device.vendor_id, 4));
  WriteText(device_dir / "idProduct", Hex(device.product_id, 4));
  WriteText(device_dir / "bConfigurationValue", device.configuration);
  const auto descriptors =
      device.descriptors.empty() ? VirtualHx7300Descriptors() : device.descriptors;
  std::ofstream(device_dir / "descriptors", std::ios::binary)
      .write(reinterpret_cast<const char*>(descriptors.data()),
             static_cast<std::streamsize>(descriptors.size()));
  WriteText(interface_dir / "bInterfaceNumber", Hex(interface.number, 2));
  WriteText(interface_dir / "bInterfaceClass", Hex(interface.interface_class, 2));
  WriteText(interface_dir / "bInterfaceSubClass", Hex(interface.subclass, 2));
  if (!interface.driver.empty() && !fs::exists(interface_dir / "driver")) {
    fs::create_directory_symlink(root_ / "bus" / "usb" / "drivers" / interface.driver,
                                 interface_dir / "driver");
  }
  // As in sysfs, the class entry is a link into the device tree, and the node's "device" link
  // leads back up to the interface.
  fs::create_directory_symlink(interface_dir, node_dir / "device");
  fs::create_directory_symlink(node_dir, root_ / "class" / "video4linux" / node_dir.filename());
}

}  // namespace hx::test
