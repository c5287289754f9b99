#include "usbip/usbip_server.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "protocol/uvc_descriptors.h"
#include "usb/camera_descriptors.h"
#include "usbip/connection_threads.h"
#include "usbip/usbip_session.h"
#include "usbip/usbip_wire.h"

namespace hx::emu {
namespace {

// A host that connects and says nothing is let go after this; each host's request is read on a
// thread of its own, so that meanwhile it keeps nobody else waiting.
constexpr std::chrono::seconds kRequestTimeout{5};
// Hosts whose request is being read at once; the usbip tools make one connection each.
constexpr std::size_t kMostOpenRequests = 16;

usbip::DeviceRecord ExportedDevice() {
  const auto device = usb::DeviceDescriptor();
  usbip::DeviceRecord record;
  record.path = "/sys/devices/platform/hx7300-emulator/usb1/1-1";
  record.bus_id = kUsbipBusId;
  record.bus_number = 1;
  record.device_number = 2;
  record.speed = usbip::kSpeedHigh;
  record.vendor_id = hx::usb::kHx7300VendorId;
  record.product_id = hx::usb::kHx7300ProductId;
  record.device_release = static_cast<std::uint16_t>(device[12] | (device[13] << 8));
  record.device_class = device[4];
  record.device_subclass = device[5];
  record.device_protocol = device[6];
  record.configuration_value = usb::kConfigurationValue;
  record.configuration_count = 1;
  record.interface_count = usb::kInterfaceCount;
  return record;
}

void Reply(StreamSocket& client, std::uint16_t code, std::uint32_t status,
           std::span<const std::uint8_t> body = {}) {
  std::vector<std::uint8_t> message;
  const auto header = usbip::EncodeOperationHeader({usbip::kProtocolVersion, code, status});
  message.insert(message.end(), header.begin(), header.end());
  message.insert(message.end(), body.begin(), body.end());
  client.SendAll(message);
}

void ListDevices(StreamSocket& client) {
  std::vector<std::uint8_t> body = {0, 0, 0, 1};  // one device
  const auto record = usbip::EncodeDeviceRecord(ExportedDevice());
  body.insert(body.end(), record.begin(), record.end());
  for (const usb::InterfaceClass& kind : usb::InterfaceClasses()) {
    const auto entry =
        usbip::EncodeInterfaceRecord(kind.interface_class, kind.subclass, kind.protocol);
    body.insert(body.end(), entry.begin(), entry.end());
  }
  Reply(client, usbip::kReplyDeviceList, usbip::kStatusOk, body);
}

// The one host that has imported the device, served on its own thread. Hosts claim it from
// the threads that read their requests, so the claim is one atomic step.
class ImportedDevice {
 public:
  explicit ImportedDevice(FirmwareModel& model) : model_(model) {}
  ~ImportedDevice() {
    std::lock_guard lock(mutex_);
    if (session_) {
      session_->Shutdown();
    }
    Join();
  }
  ImportedDevice(const ImportedDevice&) = delete;
  ImportedDevice& operator=(const ImportedDevice&) = delete;

  /// True, and the device taken, when no host has it; Start must follow.
  bool Claim() {
    bool serving = false;
    return serving_.compare_exchange_strong(serving, true);
  }
  void Start(StreamSocket socket, const StopCheck& stop) {
    std::lock_guard lock(mutex_);
    Join();
    session_ = std::make_unique<UsbipSession>(std::move(socket), model_);
    thread_ = std::thread([this, stop] {
      session_->Run(stop);
      // Free before the host can see the connection end, so that it may import again at once.
      serving_ = false;
      session_->Shutdown();
    });
  }

 private:
  void Join() {
    if (thread_.joinable()) {
      thread_.join();
    }
  }

  FirmwareModel& model_;
  std::mutex mutex_;  // guards session_ and thread_ against the next host's Start
  std::unique_ptr<UsbipSession> session_;
  std::thread thread_;
  std::atomic<bool> serving_{false};
};

void Import(StreamSocket& client, ImportedDevice& imported, const StopCheck& stop) {
  std::array<std::uint8_t, usbip::kBusIdSize> bus_id{};
  if (FAILED(client.ReceiveExact(bus_id, kRequestTimeout, stop))) {
    return;
  }
  const auto* text = reinterpret_cast<const char*>(bus_id.data());
  if (std::string_view(text, strnlen(text, bus_id.size())) != kUsbipBusId) {
    Reply(client, usbip::kReplyImport, usbip::kStatusNoDevice);
    return;
  }
  if (!imported.Claim()) {
    Reply(client, usbip::kReplyImport, usbip::kStatusDeviceBusy);
    return;
  }
  Reply(client, usbip::kReplyImport, usbip::kStatusOk, usbip::EncodeDeviceRecord(ExportedDevice()));
  imported.Start(std::move(client), stop);
}

// Answers a host's one request: the device list, or an import that hands the connection on.
void Answer(StreamSocket& client, ImportedDevice& imported, const StopCheck& stop) {
  usbip::OperationHeaderBytes bytes{};
  if (FAILED(client.ReceiveExact(bytes, kRequestTimeout, stop))) {
    return;
  }
  const usbip::OperationHeader request = usbip::DecodeOperationHeader(bytes);
  if (request.version != usbip::kProtocolVersion) {
    return;
  }
  if (request.code == usbip::kRequestDeviceList) {
    ListDevices(client);
  } else if (request.code == usbip::kRequestImport) {
    Import(client, imported, stop);
  }
}

}  // namespace

HRESULT ServeUsbip(ListeningSocket& listener, FirmwareModel& model, const StopCheck& stop) {
  ImportedDevice imported(model);
  // Declared after the device, so that every request's thread has ended before it goes.
  ConnectionThreads requests(kMostOpenRequests);
  const ConnectionThreads::Serve answer = [&imported, &stop](StreamSocket& client) {
    Answer(client, imported, stop);
  };
  for (;;) {
    StreamSocket client;
    const HRESULT hr = listener.Accept(client, stop);
    if (hr == kHrOperationAborted) {
      return S_OK;
    }
    if (FAILED(hr)) {
      return hr;
    }
    if (!requests.Start(client, answer)) {
      // Beyond the limit a connection is closed at once: the host sees it end, not a wait.
      client.Close();
    }
  }
}

}  // namespace hx::emu
