// The virtual HX7300 exported over USB/IP, as a host's vhci-hcd and the usbip tools speak to
// it: the device list and import, then URBs submitted, completed and unlinked, with the
// status interrupt in the order a real device gives it.
#include "usbip/usbip_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "platform/stream_socket.h"
#include "protocol/opcodes.h"
#include "support/daa_reply.h"
#include "usb/camera_descriptors.h"
#include "usb/virtual_camera.h"
#include "usbip/usbip_wire.h"

namespace hx::emu {
namespace {

using namespace std::chrono_literals;
using usbip::UrbCommand;

constexpr std::uint16_t kUnitIndex = (usb::kExtensionUnitId << 8) | 3;

// hx7300-emulator's USB/IP export, served on a thread for the length of a test.
class ExportedHx7300 {
 public:
  explicit ExportedHx7300(FirmwareOptions options = {}) : model(std::move(options)) {
    EXPECT_EQ(listener_.ListenTcp("127.0.0.1", 0), S_OK);
    thread_ =
        std::thread([this] { ServeUsbip(listener_, model, [this] { return stop_.load(); }); });
  }
  ~ExportedHx7300() {
    stop_ = true;
    thread_.join();
  }
  std::uint16_t Port() const { return listener_.Port(); }

  FirmwareModel model;

 private:
  ListeningSocket listener_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

struct Completion {
  UrbCommand command{};
  std::uint32_t sequence = 0;
  std::int32_t status = 0;
  std::vector<std::uint8_t> data;
};

// The host's end: what the usbip tools and vhci-hcd send, and what comes back.
class Host {
 public:
  explicit Host(std::uint16_t port) { EXPECT_EQ(socket_.ConnectTcp("127.0.0.1", port), S_OK); }

  usbip::OperationHeader Ask(std::uint16_t code, std::string_view bus_id = {}) {
    std::vector<std::uint8_t> request;
    const auto header = usbip::EncodeOperationHeader({.code = code});
    request.insert(request.end(), header.begin(), header.end());
    if (code == usbip::kRequestImport) {
      std::array<std::uint8_t, usbip::kBusIdSize> id{};
      std::ranges::copy(bus_id, id.begin());
      request.insert(request.end(), id.begin(), id.end());
    }
    EXPECT_EQ(socket_.SendAll(request), S_OK);
    usbip::OperationHeaderBytes reply{};
    EXPECT_EQ(socket_.ReceiveExact(reply, 2s), S_OK);
    return usbip::DecodeOperationHeader(reply);
  }
  template <std::size_t N>
  std::array<std::uint8_t, N> Read() {
    std::array<std::uint8_t, N> bytes{};
    EXPECT_EQ(socket_.ReceiveExact(bytes, 2s), S_OK);
    return bytes;
  }
  bool Import() {
    const auto reply = Ask(usbip::kRequestImport, kUsbipBusId);
    if (reply.status != usbip::kStatusOk) {
      return false;
    }
    Read<usbip::kDeviceRecordSize>();
    return true;
  }

  std::uint32_t Submit(std::uint32_t endpoint, bool in, std::uint32_t length,
                       const usb::SetupPacket& setup = {},
                       std::span<const std::uint8_t> out_data = {}) {
    usbip::SubmitCommand command;
    command.basic = {UrbCommand::kSubmit, ++sequence_, 0x10002,
                     in ? usbip::kDirectionIn : usbip::kDirectionOut, endpoint};
    command.buffer_length = length;
    command.setup = setup.Bytes();
    in_[sequence_] = in;
    const auto header = usbip::EncodeSubmitCommand(command);
    std::vector<std::uint8_t> message(header.begin(), header.end());
    message.insert(message.end(), out_data.begin(), out_data.end());
    EXPECT_EQ(socket_.SendAll(message), S_OK);
    return sequence_;
  }
  std::uint32_t Unlink(std::uint32_t unlinked) {
    usbip::UnlinkCommand command;
    command.basic.sequence = ++sequence_;
    command.unlinked_sequence = unlinked;
    EXPECT_EQ(socket_.SendAll(usbip::EncodeUnlinkCommand(command)), S_OK);
    return sequence_;
  }
  void SendRaw(std::span<const std::uint8_t> bytes) { EXPECT_EQ(socket_.SendAll(bytes), S_OK); }

  /// True when nothing comes for a while.
  bool Quiet(std::chrono::milliseconds during = 100ms) {
    usbip::UrbHeaderBytes header{};
    if (FAILED(socket_.ReceiveExact(header, during))) {
      return true;
    }
    pending_ = header;
    return false;
  }
  /// The next completion, or one with command 0 when none comes within 2 s.
  Completion Next() {
    usbip::UrbHeaderBytes header{};
    if (pending_) {
      header = *pending_;
      pending_.reset();
    } else if (FAILED(socket_.ReceiveExact(header, 2s))) {
      return {};
    }
    if (static_cast<UrbCommand>(usbip::UrbCommandOf(header)) == UrbCommand::kUnlinkReply) {
      const auto reply = usbip::DecodeUnlinkReply(header);
      return {UrbCommand::kUnlinkReply, reply.basic.sequence, reply.status, {}};
    }
    const auto reply = usbip::DecodeSubmitReply(header);
    Completion completion{UrbCommand::kSubmitReply, reply.basic.sequence, reply.status, {}};
    if (in_[reply.basic.sequence]) {
      completion.data.resize(reply.actual_length);
      EXPECT_EQ(socket_.ReceiveExact(completion.data, 2s), S_OK);
    }
    return completion;
  }
  bool Closed() {
    std::array<std::uint8_t, 1> byte{};
    return socket_.ReceiveExact(byte, 2s) == kHrEndOfFile;
  }

 private:
  StreamSocket socket_;
  std::optional<usbip::UrbHeaderBytes> pending_;
  std::uint32_t sequence_ = 0;
  std::map<std::uint32_t, bool> in_;
};

usb::SetupPacket UnitRequest(bool in, std::uint8_t selector) {
  return {static_cast<std::uint8_t>(in ? 0xA1 : 0x21), static_cast<std::uint8_t>(in ? 0x81 : 0x01),
          static_cast<std::uint16_t>(selector << 8), kUnitIndex, 52};
}

std::vector<std::uint8_t> DaaRequest() {
  const XuPacket request = test::DaaRequest();
  return {request.Bytes().begin(), request.Bytes().end()};
}

const std::vector<std::uint8_t> kStatusPacket = {0x01, usb::kExtensionUnitId, 0, 1, 0, 0};

TEST(UsbipExport, ListsTheDeviceAndLetsOneHostAtATimeImportIt) {
  ExportedHx7300 exported;
  {
    Host lister(exported.Port());
    const auto reply = lister.Ask(usbip::kRequestDeviceList);
    EXPECT_EQ(reply.code, usbip::kReplyDeviceList);
    EXPECT_EQ(reply.status, usbip::kStatusOk);
    EXPECT_EQ(lister.Read<4>(), (std::array<std::uint8_t, 4>{0, 0, 0, 1}));
    const auto record = usbip::DecodeDeviceRecord(lister.Read<usbip::kDeviceRecordSize>());
    EXPECT_EQ(record.bus_id, "1-1");
    EXPECT_EQ(record.vendor_id, 0xF0C5);
    EXPECT_EQ(record.product_id, 0xE1A7);
    EXPECT_EQ(record.speed, usbip::kSpeedHigh);
    EXPECT_EQ(record.interface_count, 5);
    EXPECT_EQ(lister.Read<20>(),
              (std::array<std::uint8_t, 20>{0xFF, 0, 0,    0, 0xFF, 0, 0,    0, 0xFF, 0,
                                            0,    0, 0x0E, 1, 0,    0, 0x0E, 2, 0,    0}));
  }
  Host stranger(exported.Port());
  EXPECT_EQ(stranger.Ask(usbip::kRequestImport, "1-2").status, usbip::kStatusNoDevice);
  {
    Host first(exported.Port());
    ASSERT_TRUE(first.Import());
    Host second(exported.Port());
    EXPECT_EQ(second.Ask(usbip::kRequestImport, kUsbipBusId).status, usbip::kStatusDeviceBusy);
  }
  // Once the first host has gone, the device is free again.
  bool imported = false;
  for (int attempt = 0; attempt < 40 && !imported; ++attempt) {
    Host next(exported.Port());
    imported = next.Import();
    if (!imported) {
      std::this_thread::sleep_for(50ms);
    }
  }
  EXPECT_TRUE(imported);
}

TEST(UsbipExport, SilentHostsDelayNobodyAndOneTooManyIsTurnedAwayAtOnce) {
  ExportedHx7300 exported;
  std::vector<StreamSocket> silent(6);
  for (StreamSocket& host : silent) {
    ASSERT_EQ(host.ConnectTcp("127.0.0.1", exported.Port()), S_OK);
  }
  const auto start = std::chrono::steady_clock::now();
  {
    Host lister(exported.Port());
    EXPECT_EQ(lister.Ask(usbip::kRequestDeviceList).status, usbip::kStatusOk);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    lister.Read<4 + usbip::kDeviceRecordSize + 20>();
    EXPECT_TRUE(lister.Closed());
  }
  // Sixteen hosts that say nothing are as many as the export listens to at once.
  silent.resize(16);
  for (StreamSocket& host : std::span(silent).subspan(6)) {
    ASSERT_EQ(host.ConnectTcp("127.0.0.1", exported.Port()), S_OK);
  }
  EXPECT_TRUE(Host(exported.Port()).Closed());
}

TEST(UsbipExport, AnInterruptFollowsTheRequestThatCausedItAndWaitsForItsUrb) {
  ExportedHx7300 exported;
  Host host(exported.Port());
  ASSERT_TRUE(host.Import());
  const std::uint32_t status_urb = host.Submit(1, true, 16);
  EXPECT_TRUE(host.Quiet());  // nothing to announce yet

  const std::uint32_t descriptor = host.Submit(0, true, 18, {0x80, 0x06, 0x0100, 0, 18});
  const Completion device = host.Next();
  EXPECT_EQ(device.sequence, descriptor);
  EXPECT_EQ(device.status, 0);
  EXPECT_EQ(device.data, usb::DeviceDescriptor());

  const std::uint32_t write = host.Submit(0, false, 52, UnitRequest(false, 16), DaaRequest());
  const Completion written = host.Next();
  EXPECT_EQ(written.sequence, write);
  EXPECT_EQ(written.status, 0);
  const Completion interrupt = host.Next();
  EXPECT_EQ(interrupt.sequence, status_urb);
  EXPECT_EQ(interrupt.data, kStatusPacket);

  // An interrupt while no URB waits is held until the driver submits the next one.
  host.Submit(0, false, 52, UnitRequest(false, 16), DaaRequest());
  EXPECT_EQ(host.Next().status, 0);
  EXPECT_TRUE(host.Quiet());
  const std::uint32_t next_urb = host.Submit(1, true, 16);
  const Completion held = host.Next();
  EXPECT_EQ(held.sequence, next_urb);
  EXPECT_EQ(held.data, kStatusPacket);
  // Both replies wait on the device: the status packet lists them.
  host.Submit(0, true, 52, UnitRequest(true, 1));
  const Completion status = host.Next();
  ASSERT_EQ(status.data.size(), 52u);
  EXPECT_EQ(status.data[0], 2);
}

TEST(UsbipExport, UnlinksCancelWhatWaitsAndAreAnsweredForWhatIsDone) {
  ExportedHx7300 exported(FirmwareOptions{.faults = {.silent_after = 1}});
  Host host(exported.Port());
  ASSERT_TRUE(host.Import());
  const std::uint32_t status_urb = host.Submit(1, true, 16);
  const std::uint32_t unlink = host.Unlink(status_urb);
  const Completion cancelled = host.Next();
  EXPECT_EQ(cancelled.command, UrbCommand::kUnlinkReply);
  EXPECT_EQ(cancelled.sequence, unlink);
  EXPECT_EQ(cancelled.status, usbip::kUrbUnlinked);

  // The device's one answered transfer raises an interrupt, which no cancelled URB may carry.
  const std::uint32_t write = host.Submit(0, false, 52, UnitRequest(false, 16), DaaRequest());
  EXPECT_EQ(host.Next().sequence, write);
  EXPECT_TRUE(host.Quiet());
  const std::uint32_t late = host.Unlink(write);
  const Completion answered = host.Next();  // already done: answered all the same
  EXPECT_EQ(answered.sequence, late);
  EXPECT_EQ(answered.status, 0);

  // From now on it answers nothing; the driver's time-out takes the URB back.
  const std::uint32_t read = host.Submit(0, true, 52, UnitRequest(true, 1));
  EXPECT_TRUE(host.Quiet(200ms));
  host.Unlink(read);
  const Completion taken_back = host.Next();
  EXPECT_EQ(taken_back.command, UrbCommand::kUnlinkReply);
  EXPECT_EQ(taken_back.status, usbip::kUrbUnlinked);
  // Nothing of that URB comes afterwards; vhci-hcd would drop the device for it.
  EXPECT_TRUE(host.Quiet());
}

TEST(UsbipExport, ARefusedRequestStallsAndTheErrorCodeSaysWhy) {
  FirmwareOptions options;
  options.faults.transfer_faults = {
      {TransferFault::Direction::kSet, 16, static_cast<std::int32_t>(0x80070057u), 0}};
  ExportedHx7300 exported(options);
  Host host(exported.Port());
  ASSERT_TRUE(host.Import());
  host.Submit(0, false, 52, UnitRequest(false, 16), DaaRequest());
  EXPECT_EQ(host.Next().status, usbip::kUrbStalled);
  host.Submit(0, true, 1, {0xA1, 0x81, 0x0200, 3, 1});
  EXPECT_EQ(host.Next().data, std::vector<std::uint8_t>{4});
}

TEST(UsbipExport, AHostThatBreaksTheProtocolIsLetGoAndTheDeviceFreed) {
  ExportedHx7300 exported;
  {
    Host host(exported.Port());
    ASSERT_TRUE(host.Import());
    usbip::UrbHeaderBytes nonsense{};
    nonsense[3] = 9;
    host.SendRaw(nonsense);
    EXPECT_TRUE(host.Closed());
  }
  {
    // More data than any request of the device carries.
    Host host(exported.Port());
    ASSERT_TRUE(host.Import());
    host.Submit(0, false, 1 << 20, UnitRequest(false, 16));
    EXPECT_TRUE(host.Closed());
  }
}

}  // namespace
}  // namespace hx::emu
