#include "device/linux/uvc_discovery.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>

#include "protocol/uvc_descriptors.h"

namespace hx::uvc {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNodePrefix = "video";
constexpr std::string_view kDriverName = "uvcvideo";

std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

// sysfs writes identifiers in hexadecimal (idVendor "f0c5", bInterfaceClass "0e") and the
// active configuration in decimal.
std::optional<unsigned> ReadNumberAttribute(const fs::path& file, int base) {
  const std::string text = ReadAttribute(file);
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

bool AttributeIs(const fs::path& file, unsigned expected) {
  return ReadNumberAttribute(file, 16) == expected;
}

std::optional<unsigned> NodeNumber(std::string_view name) {
  if (!name.starts_with(kNodePrefix) || name.size() == kNodePrefix.size()) {
    return std::nullopt;
  }
  name.remove_prefix(kNodePrefix.size());
  unsigned number = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), number);
  if (error != std::errc() || end != name.data() + name.size()) {
    return std::nullopt;
  }
  return number;
}

// The USB device directory of a video4linux class entry when that entry is an HX7300 control
// interface bound to uvcvideo.
std::optional<fs::path> Hx7300DeviceOf(const fs::path& class_entry) {
  std::error_code error;
  const fs::path interface = fs::canonical(class_entry / "device", error);
  if (error) {
    return std::nullopt;
  }
  const fs::path driver = fs::read_symlink(interface / "driver", error);
  if (error || driver.filename() != kDriverName) {
    return std::nullopt;
  }
  if (!AttributeIs(interface / "bInterfaceNumber", usb::kControlInterfaceNumber) ||
      !AttributeIs(interface / "bInterfaceClass", usb::kClassVideo) ||
      !AttributeIs(interface / "bInterfaceSubClass", usb::kSubclassVideoControl)) {
    return std::nullopt;
  }
  const fs::path device = interface.parent_path();
  if (!AttributeIs(device / "idVendor", usb::kHx7300VendorId) ||
      !AttributeIs(device / "idProduct", usb::kHx7300ProductId)) {
    return std::nullopt;
  }
  return device;
}

fs::path ClassDirectory(const fs::path& sysfs_root) {
  return sysfs_root / "class" / "video4linux";
}

}  // namespace

std::vector<NodeCandidate> FindHx7300Nodes(const fs::path& sysfs_root) {
  std::vector<std::pair<unsigned, NodeCandidate>> found;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(ClassDirectory(sysfs_root), error)) {
    const std::string name = entry.path().filename().string();
    const auto number = NodeNumber(name);
    if (!number) {
      continue;
    }
    if (const auto device = Hx7300DeviceOf(entry.path())) {
      found.push_back({*number, NodeCandidate{"/dev/" + name, *device}});
    }
  }
  // Directory order is arbitrary; node numbers follow the order in which nodes appeared.
  std::ranges::sort(found, {}, &std::pair<unsigned, NodeCandidate>::first);
  std::vector<NodeCandidate> nodes;
  nodes.reserve(found.size());
  for (auto& [number, candidate] : found) {
    nodes.push_back(std::move(candidate));
  }
  return nodes;
}

std::optional<NodeCandidate> IdentifyNode(const fs::path& sysfs_root, const std::string& path,
                                          bool& exists) {
  const std::string name = fs::path(path).filename().string();
  const fs::path entry = ClassDirectory(sysfs_root) / name;
  std::error_code error;
  exists = NodeNumber(name).has_value() && fs::exists(entry, error);
  if (!exists) {
    return std::nullopt;
  }
  const auto device = Hx7300DeviceOf(entry);
  if (!device) {
    return std::nullopt;
  }
  return NodeCandidate{path, *device};
}

HRESULT ReadExtensionUnitId(const NodeCandidate& candidate, std::uint8_t& unit_id) {
  const auto configuration = ReadNumberAttribute(candidate.usb_device / "bConfigurationValue", 10);
  std::ifstream in(candidate.usb_device / "descriptors", std::ios::binary);
  const std::vector<std::uint8_t> descriptors((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
  if (!configuration || *configuration > 0xFF) {
    return kHrNotFound;
  }
  const auto unit = usb::FindExtensionUnit(descriptors, static_cast<std::uint8_t>(*configuration),
                                           usb::kControlInterfaceNumber, usb::kExtensionUnitGuid);
  if (!unit) {
    return kHrNotFound;
  }
  unit_id = *unit;
  return S_OK;
}

}  // namespace hx::uvc
