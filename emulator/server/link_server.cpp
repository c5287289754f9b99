#include "server/link_server.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "protocol/link_frames.h"

namespace hx::emu {
namespace {

// A client that has just left may still be on its way out when the next one arrives (a script
// that runs the utility twice in a row): the next is refused only if the session has not
// ended within this.
constexpr auto kSessionEndGrace = std::chrono::milliseconds(250);

// Interrupt frames may be sent from whatever thread raises them, so every write to the client
// goes through one lock. Once the client has gone, nothing more is written for it: a late
// interrupt must not reach whoever holds the connection next.
class ClientWriter {
 public:
  explicit ClientWriter(StreamSocket& socket) : socket_(socket) {}
  HRESULT Send(const link::DeviceFrame& frame) {
    const link::DeviceFrameBytes bytes = link::EncodeDeviceFrame(frame);
    std::lock_guard lock(mutex_);
    return closed_ ? kHrDeviceNotConnected : socket_.SendAll(bytes);
  }
  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }

 private:
  StreamSocket& socket_;
  std::mutex mutex_;
  bool closed_ = false;
};

link::DeviceFrame Answer(FirmwareModel& model, const link::RequestFrame& request) {
  link::DeviceFrame done;
  done.selector = request.selector;
  done.tag = request.tag;
  if (request.kind == link::RequestKind::kSet) {
    done.kind = link::DeviceFrameKind::kSetDone;
    done.result = model.HandleSet(request.selector, request.data.Bytes());
  } else {
    done.kind = link::DeviceFrameKind::kGetDone;
    done.result = model.HandleGet(request.selector, done.data.Bytes());
  }
  std::this_thread::sleep_for(model.TransferLatency());
  return done;
}

// Answers the client's requests in order until it leaves, sends a frame the link does not
// know, stays silent past idle_timeout, a write fails, the device's disconnect fault strikes,
// or a stop is asked for. What the client left behind in the device goes with it.
void ServeClient(StreamSocket& client, FirmwareModel& model, std::chrono::seconds idle_timeout,
                 const StopCheck& stop) {
  std::optional<std::chrono::milliseconds> idle_limit;
  if (idle_timeout.count() != 0) {
    idle_limit = idle_timeout;
  }
  auto writer = std::make_shared<ClientWriter>(client);
  model.SetInterruptSink([writer] { writer->Send(link::MakeInterrupt()); });
  HRESULT hr = writer->Send(link::MakeHello(model.DevicePath()));
  while (SUCCEEDED(hr)) {
    link::RequestFrameBytes bytes{};
    link::RequestFrame request;
    const HRESULT received = client.ReceiveExact(bytes, idle_limit, stop);
    if (received == kHrTimeout) {
      // Whoever runs the emulator learns why the device went free without a client leaving.
      std::fprintf(stderr, "hx7300-emulator: closed a client that sent nothing for %lld s\n",
                   static_cast<long long>(idle_timeout.count()));
    }
    if (FAILED(received) || link::DecodeRequest(bytes, request) != link::FrameError::kNone) {
      break;
    }
    if (model.Silent()) {
      continue;
    }
    hr = writer->Send(Answer(model, request));
    if (model.TakeDisconnect()) {
      break;
    }
  }
  writer->Close();
  model.SetInterruptSink({});
  model.ConnectionEnded();
  client.Shutdown();
}

// The one client being served, on a thread of its own, so that the accept loop stays free to
// answer everyone else at once.
class ClientSession {
 public:
  explicit ClientSession(FirmwareModel& model) : model_(model) {}
  ~ClientSession() { Stop(); }
  ClientSession(const ClientSession&) = delete;
  ClientSession& operator=(const ClientSession&) = delete;

  /// True while a client is being served, after giving a session that is ending the grace to
  /// end.
  bool Busy() {
    if (!thread_.joinable()) {
      return false;
    }
    {
      std::unique_lock lock(mutex_);
      if (!ended_cv_.wait_for(lock, kSessionEndGrace, [this] { return ended_; })) {
        return true;
      }
    }
    thread_.join();
    client_.Close();
    return false;
  }

  void Start(StreamSocket client, std::chrono::seconds idle_timeout, const StopCheck& stop) {
    client_ = std::move(client);
    ended_ = false;
    thread_ = std::thread([this, idle_timeout, stop] {
      ServeClient(client_, model_, idle_timeout, stop);
      std::lock_guard lock(mutex_);
      ended_ = true;
      ended_cv_.notify_all();
    });
  }

  /// Ends the session: the client's socket is shut down, so that a read or a write blocked on
  /// it returns, and the thread is joined.
  void Stop() {
    if (thread_.joinable()) {
      client_.Shutdown();
      thread_.join();
    }
    client_.Close();
  }

 private:
  FirmwareModel& model_;
  StreamSocket client_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable ended_cv_;
  bool ended_ = false;
};

// A client that comes while another is served is told at once, in the greeting's result,
// instead of being left to wait for a greeting that would not come.
void RefuseAsBusy(StreamSocket& client, const FirmwareModel& model) {
  link::DeviceFrame hello = link::MakeHello(model.DevicePath());
  hello.result = link::kHrDeviceBusy;
  client.SendAll(link::EncodeDeviceFrame(hello));
  client.Shutdown();
  client.Close();
}

}  // namespace

HRESULT ServeClients(ListeningSocket& listener, FirmwareModel& model,
                     std::chrono::seconds idle_timeout, const StopCheck& stop) {
  ClientSession session(model);
  for (;;) {
    StreamSocket client;
    const HRESULT hr = listener.Accept(client, stop);
    if (hr == kHrOperationAborted) {
      return S_OK;
    }
    if (FAILED(hr)) {
      return hr;
    }
    if (session.Busy()) {
      RefuseAsBusy(client, model);
    } else {
      session.Start(std::move(client), idle_timeout, stop);
    }
  }
}

}  // namespace hx::emu
