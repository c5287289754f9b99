#include "device/linux/uvc_channel.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "device/linux/uvc_discovery.h"
#include "device/linux/uvc_errors.h"
#include "platform/secure_wipe.h"
#include "protocol/opcodes.h"
#include "protocol/status_packet.h"
#include "protocol/uvc_descriptors.h"

namespace hx::uvc {
namespace {

constexpr std::uint32_t kErrorBusy = 170;
constexpr std::string_view kDriverName = "uvcvideo";
constexpr char kStatusControlName[] = "HX7300 status";

std::string Hex(HRESULT code) {
  char text[11];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

bool IsUvcCaptureNode(const v4l2_capability& capability) {
  const std::uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0
                                 ? capability.device_caps
                                 : capability.capabilities;
  const auto* driver = reinterpret_cast<const char*>(capability.driver);
  return std::string_view(driver, strnlen(driver, sizeof capability.driver)) == kDriverName &&
         (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

uvc_xu_control_mapping StatusControlMapping() {
  uvc_xu_control_mapping mapping{};
  mapping.id = kStatusControlId;
  std::memcpy(mapping.name, kStatusControlName, sizeof kStatusControlName);
  std::ranges::copy(usb::kExtensionUnitGuid, std::begin(mapping.entity));
  mapping.selector = kStatusSelector;
  // Any value the status interrupt carries will do: only its arrival matters.
  mapping.size = 8;
  mapping.offset = 0;
  mapping.v4l2_type = V4L2_CTRL_TYPE_INTEGER;
  mapping.data_type = UVC_CTRL_DATA_TYPE_UNSIGNED;
  return mapping;
}

}  // namespace

UvcChannel::UvcChannel(std::shared_ptr<KernelCalls> kernel, UvcChannelOptions options)
    : kernel_(std::move(kernel)), options_(std::move(options)), watcher_(*kernel_) {}

UvcChannel::~UvcChannel() {
  Close();
}

int UvcChannel::RetryInterrupted(unsigned long request, void* argument) {
  int result;
  do {
    result = kernel_->Ioctl(fd_, request, argument);
  } while (result == -EINTR);
  return result;
}

HRESULT UvcChannel::OpenNode(const std::string& path) {
  int fd;
  do {
    fd = kernel_->Open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
  } while (fd == -EINTR);
  if (fd == -EACCES || fd == -EPERM) {
    options_.debug_line(path +
                        ": permission denied; members of the 'video' group (or users given "
                        "access by a seat ACL) may open it");
  }
  if (fd < 0) {
    return ResultFromErrno(-fd);
  }
  fd_ = fd;
  v4l2_capability capability{};
  if (RetryInterrupted(VIDIOC_QUERYCAP, &capability) < 0 || !IsUvcCaptureNode(capability)) {
    options_.debug_line(path + ": passed over, not a uvcvideo capture node");
    kernel_->Close(fd_);
    fd_ = -1;
    return E_FAIL;
  }
  node_ = path;
  return S_OK;
}

HRESULT UvcChannel::OpenFirstUsable(std::filesystem::path& usb_device) {
  const std::vector<NodeCandidate> candidates = FindHx7300Nodes(options_.sysfs_root);
  if (candidates.empty()) {
    return kHrDeviceNotConnected;
  }
  // A node the user may not open says more than "none usable" does.
  HRESULT result = E_FAIL;
  for (const NodeCandidate& candidate : candidates) {
    const HRESULT hr = OpenNode(candidate.node);
    if (SUCCEEDED(hr)) {
      usb_device = candidate.usb_device;
      return hr;
    }
    if (hr != E_FAIL) {
      result = hr;
    }
  }
  return result;
}

HRESULT UvcChannel::OpenNamed(std::filesystem::path& usb_device) {
  bool exists = false;
  const auto candidate = IdentifyNode(options_.sysfs_root, options_.node, exists);
  if (!exists) {
    return kHrDeviceNotConnected;
  }
  if (!candidate) {
    options_.debug_line(options_.node +
                        ": not the control interface of an HX7300 bound to uvcvideo");
    return E_FAIL;
  }
  usb_device = candidate->usb_device;
  return OpenNode(candidate->node);
}

HRESULT UvcChannel::LockNode() {
  int result;
  do {
    result = kernel_->Flock(fd_, LOCK_EX | LOCK_NB);
  } while (result == -EINTR);
  if (result == -EWOULDBLOCK) {
    options_.debug_line(node_ + ": in use by another hx7300");
    return HresultFromError(kErrorBusy);
  }
  return result < 0 ? ResultFromErrno(-result) : S_OK;
}

HRESULT UvcChannel::ArmStatusEvents(CAutoResetEvent& status_event) {
  status_mode_ = StatusWatcher::Mode::kTimer;
  if (options_.force_polling) {
    options_.debug_line(node_ + ": status polled, as HX7300_LINUX_POLL asks");
  } else {
    uvc_xu_control_mapping mapping = StatusControlMapping();
    int result = RetryInterrupted(UVCIOC_CTRL_MAP, &mapping);
    // A mapping lasts as long as the device; an earlier run may have made it.
    const char* step = "mapping the status control";
    if (result == 0 || result == -EEXIST) {
      v4l2_event_subscription subscription{};
      subscription.type = V4L2_EVENT_CTRL;
      subscription.id = kStatusControlId;
      // Without it the driver keeps back events that it ascribes to this handle's own writes.
      subscription.flags = V4L2_EVENT_SUB_FL_ALLOW_FEEDBACK;
      result = RetryInterrupted(VIDIOC_SUBSCRIBE_EVENT, &subscription);
      step = "subscribing to its events";
    }
    if (result < 0) {
      options_.debug_line(node_ + ": " + step + " failed (" + Hex(ResultFromErrno(-result)) +
                          "); status polled instead");
    } else {
      status_mode_ = StatusWatcher::Mode::kControlEvents;
    }
  }
  status_event_ = &status_event;
  return watcher_.Start(status_mode_, fd_, status_event, options_.polling_interval,
                        [this] { PollStatus(); });
}

HRESULT UvcChannel::Open(CAutoResetEvent& status_event) {
  std::filesystem::path usb_device;
  HRESULT hr = options_.node.empty() ? OpenFirstUsable(usb_device) : OpenNamed(usb_device);
  if (FAILED(hr)) {
    return hr;
  }
  hr = LockNode();
  if (FAILED(hr)) {
    return hr;
  }
  hr = ReadExtensionUnitId(NodeCandidate{node_, usb_device}, unit_id_);
  if (FAILED(hr)) {
    options_.debug_line(node_ + ": the device declares no HX7300 extension unit");
    return hr;
  }
  return ArmStatusEvents(status_event);
}

HRESULT UvcChannel::Query(std::uint8_t selector, std::uint8_t query, std::span<std::uint8_t> data) {
  uvc_xu_control_query request{};
  request.unit = unit_id_;
  request.selector = selector;
  request.query = query;
  request.size = static_cast<std::uint16_t>(data.size());
  request.data = data.data();
  const int result = RetryInterrupted(UVCIOC_CTRL_QUERY, &request);
  return result < 0 ? ResultFromErrno(-result) : S_OK;
}

HRESULT UvcChannel::CheckLength(std::uint8_t selector) {
  if (length_checked_[selector].load(std::memory_order_acquire)) {
    return S_OK;
  }
  std::array<std::uint8_t, 2> length{};
  const HRESULT hr = Query(selector, UVC_GET_LEN, length);
  if (FAILED(hr)) {
    return hr;
  }
  const unsigned size = length[0] | (length[1] << 8);
  if (size != kXuPacketSize) {
    options_.debug_line(node_ + ": control " + std::to_string(selector) + " holds " +
                        std::to_string(size) + " bytes, not 52");
    return kHrInsufficientBuffer;
  }
  length_checked_[selector].store(true, std::memory_order_release);
  return S_OK;
}

HRESULT UvcChannel::Set(std::uint8_t selector, XuConstBytes packet) {
  if (fd_ < 0) {
    return kHrDeviceNotReady;
  }
  HRESULT hr = CheckLength(selector);
  if (FAILED(hr)) {
    return hr;
  }
  // The driver wants a writable buffer; the copy may carry the passcode, so it is wiped.
  std::array<std::uint8_t, kXuPacketSize> copy{};
  std::ranges::copy(packet, copy.begin());
  hr = Query(selector, UVC_SET_CUR, copy);
  SecureWipe(std::span(copy));
  return hr;
}

HRESULT UvcChannel::Read(std::uint8_t selector, XuBytes packet) {
  const HRESULT hr = CheckLength(selector);
  return FAILED(hr) ? hr : Query(selector, UVC_GET_CUR, packet);
}

HRESULT UvcChannel::Get(std::uint8_t selector, XuBytes packet) {
  if (fd_ < 0) {
    return kHrDeviceNotReady;
  }
  std::lock_guard lock(polled_mutex_);
  if (selector == kStatusSelector && polled_status_) {
    std::ranges::copy(polled_status_->Bytes(), packet.begin());
    polled_status_.reset();
    return S_OK;
  }
  const HRESULT hr = Read(selector, packet);
  if (SUCCEEDED(hr) && selector != kStatusSelector && polled_status_) {
    ForgetListed(static_cast<std::uint8_t>(selector - 1));
  }
  return hr;
}

// A tick stands in for the status interrupt, which is raised when a reply is queued: it
// signals only when the status lists a reply or carries a device message. A signal for an
// empty status would not just cost a read: the network update takes an empty status as its
// last step once more. The packet is kept for the loop's next status read, so that a device
// message that the device shows once is not lost to the tick's read.
void UvcChannel::PollStatus() {
  std::lock_guard lock(polled_mutex_);
  if (polled_status_) {
    return;  // the loop has yet to read what the last tick found
  }
  XuPacket status;
  if (FAILED(Read(kStatusSelector, status.Bytes()))) {
    // One signal lets a waiting loop meet the failure with its own read; more would only
    // repeat it every tick.
    if (!std::exchange(poll_failed_, true)) {
      status_event_->Set();
    }
    return;
  }
  poll_failed_ = false;
  const XuStatusPacket view(status);
  if (view.Count() == 0 && !view.IsDeviceMessage()) {
    return;
  }
  polled_status_ = status;
  status_event_->Set();
}

// The loop has read a reply while a tick's status waits to be read: the loop may have come to
// that reply through a status of its own. Once every reply the tick found has been read, its
// signal is taken back, or it would wake the loop to a status with nothing listed.
void UvcChannel::ForgetListed(std::uint8_t opcode) {
  const XuStatusPacket status(*polled_status_);
  if (status.IsDeviceMessage()) {
    return;
  }
  std::vector<std::uint8_t> left(status.Entries().begin(), status.Entries().end());
  const auto read = std::ranges::find(left, opcode);
  if (read == left.end()) {
    return;
  }
  left.erase(read);
  if (!left.empty()) {
    polled_status_ = XuStatusPacket::Build(left);
    return;
  }
  polled_status_.reset();
  // Only the loop's own thread reads replies and waits, so this cannot take a signal from it.
  status_event_->Wait(0);
}

void UvcChannel::Close() {
  watcher_.Stop();
  polled_status_.reset();
  poll_failed_ = false;
  if (fd_ >= 0) {
    // Closing drops the lock and the event subscription with the descriptor.
    kernel_->Close(fd_);
    fd_ = -1;
  }
  node_.clear();
  for (std::atomic<bool>& checked : length_checked_) {
    checked.store(false);
  }
}

}  // namespace hx::uvc
