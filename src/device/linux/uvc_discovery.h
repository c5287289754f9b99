#pragma once
// Finding the HX7300's video nodes in sysfs: the control interface (3) of a f0c5:e1a7 device,
// bound to uvcvideo, as the video4linux class lists its nodes.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/hresult.h"

namespace hx::uvc {

/// One video node of an HX7300's control interface.
struct NodeCandidate {
  std::string node;                  ///< the device node, "/dev/video0"
  std::filesystem::path usb_device;  ///< the USB device's sysfs directory
};

/// Every node of an HX7300 control interface bound to uvcvideo, by node number. A device has
/// more than one (a capture node and a metadata node); the caller tells them apart.
std::vector<NodeCandidate> FindHx7300Nodes(const std::filesystem::path& sysfs_root);

/// The node named by path ("/dev/video3") when sysfs shows it as an HX7300 control interface
/// bound to uvcvideo. nullopt otherwise; `exists` says whether sysfs knows the node at all.
std::optional<NodeCandidate> IdentifyNode(const std::filesystem::path& sysfs_root,
                                          const std::string& path, bool& exists);

/// The extension unit's id, from the raw descriptors of the candidate's device and its active
/// configuration. 0x80070490 when the device declares no such unit or sysfs cannot say.
HRESULT ReadExtensionUnitId(const NodeCandidate& candidate, std::uint8_t& unit_id);

}  // namespace hx::uvc
