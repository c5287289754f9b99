#include "device/emulator/emulator_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "device/capture_device.h"
#include "device/device_selection.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"
#include "support/firmware_host.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint8_t kDspSelector = SelectorFor(XU_OPCODE_VDSP_RESPONSE);

// An open channel to a fresh model with the given faults.
struct OpenEmulator {
  explicit OpenEmulator(emu::FaultPlan faults)
      : channel(std::make_shared<emu::FirmwareModel>(
            emu::FirmwareOptions{.faults = std::move(faults)})) {
    EXPECT_EQ(event.Create(), S_OK);
    EXPECT_EQ(channel.Open(event), S_OK);
  }
  CAutoResetEvent event;
  EmulatorChannel channel;
};

bool Signalled(CAutoResetEvent& event) {
  return event.Wait(0).outcome == WaitOutcome::kSignalled;
}

TEST(EmulatorChannel, CarriesTheDaaExchangeAndItsInterrupt) {
  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  auto model = std::make_shared<emu::FirmwareModel>(emu::FirmwareOptions{.record_transfers = true});
  EmulatorChannel channel(model);
  XuPacket packet;
  EXPECT_EQ(channel.Get(kStatusSelector, packet.Bytes()), kHrDeviceNotReady);
  ASSERT_EQ(channel.Open(event), S_OK);

  XuPacket request;
  request.SetOpcode(XU_OPCODE_VDSP_RESPONSE);
  request.SetDspRequest(1);
  ASSERT_EQ(channel.Set(kDspSelector, request.Bytes()), S_OK);
  EXPECT_TRUE(Signalled(event));
  ASSERT_EQ(channel.Get(kStatusSelector, packet.Bytes()), S_OK);
  EXPECT_EQ(packet.Byte(0), 1);
  EXPECT_EQ(packet.Byte(4), 15);
  ASSERT_EQ(channel.Get(kDspSelector, packet.Bytes()), S_OK);
  EXPECT_EQ(packet.Byte(4), 5);
  EXPECT_EQ(model->ReceivedSets().at(0).packet, request);

  channel.Close();
  model->HandleSet(kDspSelector, request.Bytes());
  EXPECT_FALSE(Signalled(event));  // a closed channel no longer hears the device
  EXPECT_EQ(channel.Set(kDspSelector, request.Bytes()), kHrDeviceNotReady);
}

TEST(EmulatorChannel, ClosingEndsTheHostsAuthorisationButTheDeviceKeepsItsSlots) {
  auto model = std::make_shared<emu::FirmwareModel>();
  const auto image = test::PatternBytes(10);
  auto packets = test::UploadPackets(kConfigImageIndex, image);
  packets.insert(packets.begin(), test::PasscodeRequest(2, "1234", XU_OPCODE_IMGUPD_INFO));
  auto info_status = [&model] {
    XuPacket reply;
    EXPECT_EQ(model->HandleGet(SelectorFor(XU_OPCODE_IMGUPD_INFO), reply.Bytes()), S_OK);
    return reply.Status();
  };
  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  {
    EmulatorChannel first(model);
    ASSERT_EQ(first.Open(event), S_OK);
    for (const XuPacket& packet : packets) {
      ASSERT_EQ(first.Set(SelectorFor(packet.Opcode()), packet.Bytes()), S_OK);
    }
    EXPECT_EQ(info_status(), 0);
    first.Close();
  }
  EXPECT_EQ(model->SlotContents(kConfigImageIndex), image);
  EmulatorChannel second(model);
  ASSERT_EQ(second.Open(event), S_OK);
  ASSERT_EQ(second.Set(SelectorFor(XU_OPCODE_IMGUPD_INFO), packets[1].Bytes()), S_OK);
  EXPECT_EQ(info_status(), static_cast<std::int32_t>(0x80070005u));
}

TEST(EmulatorChannel, EveryTransferTakesTheLatencyAndTwoThreadsShareOneBus) {
  emu::FaultPlan faults;
  faults.latency_us = 500;
  OpenEmulator open(faults);
  EmulatorChannel& channel = open.channel;
  std::vector<double> lengths_us;
  for (int i = 0; i < 30; ++i) {
    XuPacket packet;
    const auto start = Clock::now();
    ASSERT_EQ(channel.Get(kStatusSelector, packet.Bytes()), S_OK);
    lengths_us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  std::sort(lengths_us.begin(), lengths_us.end());
  EXPECT_GE(lengths_us.front(), 500.0);
  // The median tolerates a loaded machine; a sleep-only delay would be off by far more.
  EXPECT_LT(lengths_us[lengths_us.size() / 2], 700.0);

  const auto start = Clock::now();
  auto transfers = [&channel] {
    for (int i = 0; i < 20; ++i) {
      XuPacket packet;
      EXPECT_EQ(channel.Get(kStatusSelector, packet.Bytes()), S_OK);
    }
  };
  std::thread other(transfers);
  transfers();
  other.join();
  EXPECT_GE(Clock::now() - start, std::chrono::microseconds(40 * 500));
}

TEST(EmulatorChannel, DisconnectBreaksTheChannelAndSignalsOnce) {
  emu::FaultPlan faults;
  faults.disconnect_after = 2;
  OpenEmulator open(faults);
  EmulatorChannel& channel = open.channel;
  CAutoResetEvent& event = open.event;
  XuPacket packet;
  ASSERT_EQ(channel.Get(kStatusSelector, packet.Bytes()), S_OK);
  EXPECT_FALSE(Signalled(event));
  ASSERT_EQ(channel.Get(kStatusSelector, packet.Bytes()), S_OK);
  EXPECT_TRUE(Signalled(event));
  EXPECT_EQ(channel.Get(kStatusSelector, packet.Bytes()), kHrDeviceNotConnected);
  EXPECT_EQ(channel.Set(kDspSelector, packet.Bytes()), kHrDeviceNotConnected);
  EXPECT_FALSE(Signalled(event));
}

TEST(EmulatorChannel, ASilentDeviceFailsEachTransferAsADriversTimeOutWould) {
  emu::FaultPlan faults;
  faults.silent_after = 1;
  OpenEmulator open(faults);
  XuPacket packet;
  EXPECT_EQ(open.channel.Get(kStatusSelector, packet.Bytes()), S_OK);
  EXPECT_EQ(open.channel.Set(kDspSelector, packet.Bytes()), kHrTimeout);
  EXPECT_EQ(open.channel.Get(kStatusSelector, packet.Bytes()), kHrTimeout);
}

TEST(EmulatorChannel, RefusedTransfersReturnTheDevicesResult) {
  emu::FaultPlan faults;
  const HRESULT stall = static_cast<HRESULT>(0x8007001Fu);
  faults.transfer_faults = {{emu::TransferFault::Direction::kGet, kStatusSelector, stall, 1}};
  OpenEmulator open(faults);
  EmulatorChannel& channel = open.channel;
  XuPacket packet;
  EXPECT_EQ(channel.Get(kStatusSelector, packet.Bytes()), stall);
  EXPECT_EQ(channel.Get(kStatusSelector, packet.Bytes()), S_OK);
}

TEST(EmulatorChannel, TheEmulatorDeviceSettingOpensAFreshDefaultDevice) {
  CDuzuVideoCaptureDevice device(
      [](std::unique_ptr<XuChannel>& channel) { return MakeChannelFor("emulator", channel); });
  ASSERT_EQ(device.Initialize(), S_OK);
  XuPacket request;
  request.SetOpcode(XU_OPCODE_VDSP_RESPONSE);
  request.SetDspRequest(1);
  ASSERT_EQ(device.SetXU(kDspSelector, request.Bytes()), S_OK);
  EXPECT_TRUE(Signalled(device.StatusEvent()));
  XuPacket reply;
  ASSERT_EQ(device.GetXU(kDspSelector, reply.Bytes()), S_OK);
  EXPECT_EQ(reply.Byte(4), 5);
  EXPECT_EQ(reply.Byte(6), emu::DaaValues{}.group_id);
}

}  // namespace
}  // namespace hx
