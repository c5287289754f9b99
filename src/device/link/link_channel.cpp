// The virtual device link's client: one connection, a reader thread that hands done frames to
// the waiting requests by tag and turns interrupt frames into status-event signals.
#include "device/link/link_channel.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "platform/secure_wipe.h"
#include "platform/stream_socket.h"
#include "protocol/link_frames.h"

namespace hx {
namespace {

constexpr std::string_view kDeviceMatchText = "vid_f0c5&pid_e1a7&mi_03";

class LinkChannel final : public XuChannel {
 public:
  LinkChannel(LinkAddress address, LinkTimeouts timeouts)
      : address_(std::move(address)), timeouts_(timeouts) {}
  ~LinkChannel() override { Close(); }

  HRESULT Open(CAutoResetEvent& status_event) override;
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override;
  HRESULT Get(std::uint8_t selector, XuBytes packet) override;
  void Close() override;
  std::string DevicePath() const override { return device_path_; }

 private:
  struct Pending {
    link::DeviceFrameKind expected = link::DeviceFrameKind::kSetDone;
    bool done = false;
    HRESULT result = S_OK;
    XuPacket data;
  };

  HRESULT Connect();
  HRESULT ReadHello();
  HRESULT Transfer(link::RequestKind kind, std::uint8_t selector, const XuPacket& out,
                   XuPacket& in);
  std::uint32_t NextFreeTag();
  void ReaderLoop();
  bool Deliver(const link::DeviceFrame& frame);
  void Break();

  LinkAddress address_;
  LinkTimeouts timeouts_;
  StreamSocket socket_;
  std::string device_path_;  // from the server's greeting
  std::thread reader_;
  CAutoResetEvent* status_event_ = nullptr;

  std::mutex send_mutex_;  // one frame on the wire at a time
  std::mutex mutex_;       // guards everything below
  std::condition_variable done_cv_;
  std::map<std::uint32_t, Pending*> in_flight_;
  std::uint32_t next_tag_ = 1;
  bool open_ = false;
  bool broken_ = false;
};

HRESULT LinkChannel::Connect() {
  if (address_.kind == LinkAddress::Kind::kUnix) {
    return socket_.ConnectUnix(address_.path, timeouts_.connect);
  }
  return socket_.ConnectTcp(address_.host, address_.port, timeouts_.connect);
}

HRESULT LinkChannel::ReadHello() {
  link::DeviceFrameBytes bytes{};
  if (FAILED(socket_.ReceiveExact(bytes, timeouts_.hello))) {
    return kHrDeviceNotConnected;
  }
  link::DeviceFrame hello;
  if (link::DecodeDeviceFrame(bytes, hello) != link::FrameError::kNone ||
      hello.kind != link::DeviceFrameKind::kHello) {
    return kHrDeviceNotConnected;
  }
  // A server that cannot serve this client now (another is being served) says why in the
  // greeting's result, and then closes the connection.
  if (FAILED(hello.result)) {
    return hello.result;
  }
  device_path_ = link::HelloPath(hello);
  // Case-sensitive, as in the platform's own discovery.
  if (device_path_.find(kDeviceMatchText) == std::string::npos) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT LinkChannel::Open(CAutoResetEvent& status_event) {
  if (FAILED(Connect())) {
    return kHrDeviceNotConnected;
  }
  const HRESULT hr = ReadHello();
  if (FAILED(hr)) {
    socket_.Close();
    return hr;
  }
  status_event_ = &status_event;
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  reader_ = std::thread([this] { ReaderLoop(); });
  return S_OK;
}

HRESULT LinkChannel::Set(std::uint8_t selector, XuConstBytes packet) {
  XuPacket request = XuPacket::FromBytes(packet);
  XuPacket reply;
  const HRESULT hr = Transfer(link::RequestKind::kSet, selector, request, reply);
  // A request may carry the passcode; no copy of it outlives the transfer.
  SecureWipe(request.Bytes());
  return hr;
}

HRESULT LinkChannel::Get(std::uint8_t selector, XuBytes packet) {
  XuPacket reply;
  const HRESULT hr = Transfer(link::RequestKind::kGet, selector, XuPacket(), reply);
  if (SUCCEEDED(hr)) {
    std::ranges::copy(reply.Bytes(), packet.begin());
  }
  return hr;
}

std::uint32_t LinkChannel::NextFreeTag() {
  while (next_tag_ == 0 || in_flight_.contains(next_tag_)) {
    ++next_tag_;
  }
  return next_tag_++;
}

HRESULT LinkChannel::Transfer(link::RequestKind kind, std::uint8_t selector, const XuPacket& out,
                              XuPacket& in) {
  Pending pending;
  pending.expected = kind == link::RequestKind::kSet ? link::DeviceFrameKind::kSetDone
                                                     : link::DeviceFrameKind::kGetDone;
  std::unique_lock lock(mutex_);
  if (!open_) {
    return kHrDeviceNotReady;
  }
  if (broken_) {
    return kHrDeviceNotConnected;
  }
  const std::uint32_t tag = NextFreeTag();
  in_flight_[tag] = &pending;
  lock.unlock();

  HRESULT send_result;
  {
    std::lock_guard send_lock(send_mutex_);
    link::RequestFrame frame{kind, selector, tag, out};
    link::RequestFrameBytes bytes = link::EncodeRequest(frame);
    send_result = socket_.SendAll(bytes);
    SecureWipe(frame.data.Bytes());
    SecureWipe(std::span(bytes));
  }
  if (FAILED(send_result)) {
    Break();
  }

  lock.lock();
  const bool answered =
      done_cv_.wait_for(lock, timeouts_.reply, [&] { return pending.done || broken_; });
  in_flight_.erase(tag);
  if (!answered) {
    lock.unlock();
    // A server that stops answering must not hang its caller; the link cannot be trusted
    // after a lost reply, so it is broken for every later request too.
    Break();
    return kHrTimeout;
  }
  if (!pending.done) {
    return kHrDeviceNotConnected;
  }
  in = pending.data;
  return pending.result;
}

bool LinkChannel::Deliver(const link::DeviceFrame& frame) {
  std::lock_guard lock(mutex_);
  const auto found = in_flight_.find(frame.tag);
  if (found == in_flight_.end() || found->second->done || found->second->expected != frame.kind) {
    return false;
  }
  found->second->done = true;
  found->second->result = frame.result;
  found->second->data = frame.data;
  done_cv_.notify_all();
  return true;
}

void LinkChannel::ReaderLoop() {
  for (;;) {
    link::DeviceFrameBytes bytes{};
    if (FAILED(socket_.ReceiveExact(bytes))) {
      break;
    }
    link::DeviceFrame frame;
    if (link::DecodeDeviceFrame(bytes, frame) != link::FrameError::kNone) {
      break;
    }
    if (frame.kind == link::DeviceFrameKind::kInterrupt) {
      status_event_->Set();
    } else if (frame.kind == link::DeviceFrameKind::kHello || !Deliver(frame)) {
      break;
    }
  }
  Break();
}

void LinkChannel::Break() {
  {
    std::lock_guard lock(mutex_);
    if (broken_) {
      return;
    }
    broken_ = true;
    done_cv_.notify_all();
  }
  socket_.Shutdown();
  // A loop waiting for an interrupt proceeds to its read and meets the failure there.
  status_event_->Set();
}

void LinkChannel::Close() {
  socket_.Shutdown();
  if (reader_.joinable()) {
    reader_.join();
  }
  socket_.Close();
  std::lock_guard lock(mutex_);
  open_ = false;
}

}  // namespace

std::unique_ptr<XuChannel> MakeLinkChannel(const LinkAddress& address, LinkTimeouts timeouts) {
  return std::make_unique<LinkChannel>(address, timeouts);
}

std::unique_ptr<XuChannel> MakeLinkChannel(const LinkAddress& address) {
  return MakeLinkChannel(address, LinkTimeouts{});
}

}  // namespace hx
