#pragma once
// The channels that HX7300_DEVICE can select.

#include <cstdint>
#include <memory>
#include <string>

#include "device/channel.h"

namespace hx {

/// The platform's own discovery of the HX7300 (kernel streaming on Windows, uvcvideo on Linux).
std::unique_ptr<XuChannel> MakePlatformChannel();
/// The platform's device node named by path (on Linux a uvcvideo node, "/dev/video2"), for a
/// PC with several HX7300s; nullptr where the platform has no such nodes.
std::unique_ptr<XuChannel> MakePlatformNodeChannel(const std::string& path);
/// The first HX7300 whose device path contains text, compared without regard to case (on
/// Windows, where devices are known by such paths), for a PC with several; Open fails with
/// 0x8007048F when none does. nullptr where the platform names its devices otherwise.
std::unique_ptr<XuChannel> MakePlatformPathChannel(const std::string& text);

/// A virtual HX7300 served over the virtual device link: "unix:<path>" or "tcp:<host>:<port>".
struct LinkAddress {
  enum class Kind { kUnix, kTcp } kind;
  std::string path;  ///< kUnix: the socket path
  std::string host;  ///< kTcp
  std::uint16_t port = 0;
};
std::unique_ptr<XuChannel> MakeLinkChannel(const LinkAddress& address);

/// An in-process virtual HX7300 with a fresh default state.
std::unique_ptr<XuChannel> MakeEmulatorChannel();

/// The recording in the file at path (HX7300_RECORD made it) played back as a device; see
/// device/replay/replay_channel.cpp. Open fails with the file's error when it cannot be read,
/// with E_FAIL and a line on standard error when it holds no recording, and with the recorded
/// result when the recorded Open failed.
std::unique_ptr<XuChannel> MakeReplayChannel(const std::string& path);

}  // namespace hx
