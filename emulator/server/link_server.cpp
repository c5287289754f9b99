#include "server/link_server.h"

#include <mutex>
#include <thread>

#include "device/link_frames.h"

namespace hx::emu {
namespace {

// Interrupt frames may be sent from whatever thread raises them, so every write to the client
// goes through one lock.
class ClientWriter {
 public:
  explicit ClientWriter(StreamSocket& socket) : socket_(socket) {}
  HRESULT Send(const link::DeviceFrame& frame) {
    const link::DeviceFrameBytes bytes = link::EncodeDeviceFrame(frame);
    std::lock_guard lock(mutex_);
    return socket_.SendAll(bytes);
  }

 private:
  StreamSocket& socket_;
  std::mutex mutex_;
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
// know, a write fails, the device's disconnect fault strikes, or a stop is asked for.
void ServeClient(StreamSocket& client, FirmwareModel& model, const StopCheck& stop) {
  ClientWriter writer(client);
  model.SetInterruptSink([&writer] { writer.Send(link::MakeInterrupt()); });
  HRESULT hr = writer.Send(link::MakeHello(model.DevicePath()));
  while (SUCCEEDED(hr)) {
    link::RequestFrameBytes bytes{};
    link::RequestFrame request;
    if (FAILED(client.ReceiveExact(bytes, std::nullopt, stop)) ||
        link::DecodeRequest(bytes, request) != link::FrameError::kNone) {
      break;
    }
    if (model.Silent()) {
      continue;
    }
    hr = writer.Send(Answer(model, request));
    if (model.TakeDisconnect()) {
      break;
    }
  }
  model.SetInterruptSink({});
  model.ConnectionEnded();
  client.Shutdown();
  client.Close();
}

}  // namespace

HRESULT ServeClients(ListeningSocket& listener, FirmwareModel& model, const StopCheck& stop) {
  for (;;) {
    StreamSocket client;
    const HRESULT hr = listener.Accept(client, stop);
    if (hr == kHrOperationAborted) {
      return S_OK;
    }
    if (FAILED(hr)) {
      return hr;
    }
    ServeClient(client, model, stop);
  }
}

}  // namespace hx::emu
