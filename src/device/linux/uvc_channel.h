#pragma once
// The HX7300 through uvcvideo: the extension unit's controls through UVCIOC_CTRL_QUERY on the
// node of the device's control interface, its status interrupt through a V4L2 control event
// (or a timer where the driver cannot deliver one). The camera stays usable by other programs
// all the while; only other hx7300 runs are kept off the node, by an advisory lock.

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "device/channel.h"
#include "device/linux/kernel_calls.h"
#include "device/linux/status_watcher.h"

namespace hx::uvc {

struct UvcChannelOptions {
  std::string sysfs_root = "/sys";
  /// A node to open ("/dev/video2"); empty: the first HX7300 that sysfs lists.
  std::string node{};
  /// Signal the status event from the timer even where control events would work.
  bool force_polling = false;
  std::chrono::milliseconds polling_interval{20};
  /// Lines for the debugger output: why a node was passed over or events are not used.
  std::function<void(const std::string&)> debug_line = [](const std::string&) {};
};

/// The V4L2 control that uvcvideo is told to map onto the status control (selector 1), so that
/// it passes the unit's status interrupt on as a control event.
inline constexpr std::uint32_t kStatusControlId = 0x0098F300;

class UvcChannel final : public XuChannel {
 public:
  UvcChannel(std::shared_ptr<KernelCalls> kernel, UvcChannelOptions options);
  ~UvcChannel() override;

  /// Results beyond the contract's: 0x8007048F when no HX7300 is attached (or the node named
  /// is not there); E_FAIL when none of its nodes is a uvcvideo capture node, or the node named
  /// is not an HX7300's; the open's own result (0x80070005 when the user may not open it);
  /// 0x800700AA while another hx7300 holds the device; 0x80070490 without the extension unit.
  HRESULT Open(CAutoResetEvent& status_event) override;
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override;
  HRESULT Get(std::uint8_t selector, XuBytes packet) override;
  void Close() override;
  std::string DevicePath() const override { return node_; }

  /// How status interrupts reach the event once open.
  StatusWatcher::Mode StatusMode() const { return status_mode_; }
  /// The node in use once open.
  const std::string& Node() const { return node_; }

 private:
  HRESULT OpenFirstUsable(std::filesystem::path& usb_device);
  HRESULT OpenNamed(std::filesystem::path& usb_device);
  HRESULT OpenNode(const std::string& path);
  HRESULT LockNode();
  HRESULT ArmStatusEvents(CAutoResetEvent& status_event);
  HRESULT Query(std::uint8_t selector, std::uint8_t query, std::span<std::uint8_t> data);
  HRESULT CheckLength(std::uint8_t selector);
  HRESULT Read(std::uint8_t selector, XuBytes packet);
  void PollStatus();
  void ForgetListed(std::uint8_t opcode);
  int RetryInterrupted(unsigned long request, void* argument);

  std::shared_ptr<KernelCalls> kernel_;
  UvcChannelOptions options_;
  StatusWatcher watcher_;
  StatusWatcher::Mode status_mode_ = StatusWatcher::Mode::kTimer;
  std::string node_;
  int fd_ = -1;
  std::uint8_t unit_id_ = 0;
  std::array<std::atomic<bool>, 256> length_checked_{};
  CAutoResetEvent* status_event_ = nullptr;
  // Where the status is polled: what the last tick found waiting, kept for the loop's next
  // status read. Ticks and the loop's reads take turns under the mutex.
  std::mutex polled_mutex_;
  std::optional<XuPacket> polled_status_;
  bool poll_failed_ = false;
};

}  // namespace hx::uvc
