// The uvcvideo backend's decisions on what the kernel answers: which node it opens, what it
// asks of the driver, and the result each refusal becomes.
#include <gtest/gtest.h>
#include <linux/usb/video.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "device/device_selection.h"
#include "device/linux/uvc_channel.h"
#include "linux/fake_sysfs.h"
#include "linux/scripted_kernel.h"
#include "protocol/opcodes.h"
#include "protocol/status_packet.h"

namespace hx {
namespace {

using test::FakeSysfs;
using test::ScriptedKernel;
using Mode = uvc::StatusWatcher::Mode;

constexpr std::uint32_t kMetadataCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;

class UvcChannelTest : public ::testing::Test {
 protected:
  UvcChannelTest() : kernel_(std::make_shared<ScriptedKernel>()) {
    EXPECT_EQ(event_.Create(), S_OK);
  }

  // One HX7300 whose capture node is video0 and metadata node video1.
  void AddHx7300(unsigned capture = 0, const std::string& name = "1-1") {
    sysfs_.AddNode(capture, {.name = name});
    sysfs_.AddNode(capture + 1, {.name = name});
    kernel_->AddNode("/dev/video" + std::to_string(capture), {});
    kernel_->AddNode("/dev/video" + std::to_string(capture + 1), {.device_caps = kMetadataCaps});
  }

  uvc::UvcChannel& Channel(uvc::UvcChannelOptions options = {}) {
    options.sysfs_root = sysfs_.Root().string();
    options.debug_line = [this](const std::string& line) { debug_.push_back(line); };
    channel_ = std::make_unique<uvc::UvcChannel>(kernel_, std::move(options));
    return *channel_;
  }

  FakeSysfs sysfs_;
  std::shared_ptr<ScriptedKernel> kernel_;
  CAutoResetEvent event_;
  std::unique_ptr<uvc::UvcChannel> channel_;
  std::vector<std::string> debug_;
};

TEST_F(UvcChannelTest, OpensTheCaptureNodeLocksItAndAsksForStatusEvents) {
  sysfs_.AddNode(0, {.name = "1-1"});
  sysfs_.AddNode(1, {.name = "1-1"});
  // The metadata node comes first here; the driver refuses it the extension unit's ioctls.
  kernel_->AddNode("/dev/video0", {.device_caps = kMetadataCaps});
  kernel_->AddNode("/dev/video1", {});
  uvc::UvcChannel& channel = Channel();
  ASSERT_EQ(channel.Open(event_), S_OK);
  EXPECT_EQ(channel.Node(), "/dev/video1");
  EXPECT_EQ(channel.StatusMode(), Mode::kControlEvents);
  EXPECT_EQ(kernel_->Calls(), (std::vector<std::string>{
                                  "open /dev/video0",
                                  "querycap 3",
                                  "close 3",
                                  "open /dev/video1",
                                  "querycap 4",
                                  "flock 4 exclusive nonblocking",
                                  "map 0x0098f300 selector 1 8 bits at 0",
                                  "subscribe 0x0098f300 control with feedback",
                              }));
  channel.Close();
  EXPECT_EQ(kernel_->OpenDescriptors(), 0);
}

TEST_F(UvcChannelTest, WhatStandsInTheWayOfOpeningBecomesTheResult) {
  {
    // No HX7300 at all.
    EXPECT_EQ(Channel().Open(event_), kHrDeviceNotConnected);
    EXPECT_EQ(kernel_->Calls(), std::vector<std::string>{});
  }
  {
    // Nodes, but none a uvcvideo capture node.
    sysfs_.AddNode(0, {.name = "1-1"});
    kernel_->AddNode("/dev/video0", {.driver = "uvcvideo-fork"});
    EXPECT_EQ(Channel().Open(event_), E_FAIL);
    EXPECT_EQ(kernel_->OpenDescriptors(), 0);
    EXPECT_EQ(debug_.back(), "/dev/video0: passed over, not a uvcvideo capture node");
  }
  {
    // A node the user may not open: said in the result and, with the cure, in the debug line.
    kernel_->AddNode("/dev/video0", {.open_error = EACCES});
    EXPECT_EQ(Channel().Open(event_), static_cast<HRESULT>(0x80070005u));
    EXPECT_NE(debug_.back().find("/dev/video0: permission denied"), std::string::npos);
    EXPECT_NE(debug_.back().find("'video' group"), std::string::npos);
  }
  {
    // Another hx7300 holds the device.
    kernel_->AddNode("/dev/video0", {.lock_error = EWOULDBLOCK});
    EXPECT_EQ(Channel().Open(event_), static_cast<HRESULT>(0x800700AAu));
    EXPECT_EQ(debug_.back(), "/dev/video0: in use by another hx7300");
  }
  {
    // A device without the extension unit.
    sysfs_.AddNode(2, {.name = "1-2", .descriptors = {18, 1, 0, 2, 0, 0, 0, 64}});
    kernel_->AddNode("/dev/video0", {.open_error = EACCES});
    kernel_->AddNode("/dev/video2", {});
    EXPECT_EQ(Channel().Open(event_), kHrNotFound);
  }
}

TEST_F(UvcChannelTest, AnAccessibleDeviceIsPreferredToOneThatRefusesTheUser) {
  sysfs_.AddNode(0, {.name = "1-1"});
  kernel_->AddNode("/dev/video0", {.open_error = EACCES});
  AddHx7300(2, "1-2");
  ASSERT_EQ(Channel().Open(event_), S_OK);
  EXPECT_EQ(channel_->Node(), "/dev/video2");
}

TEST_F(UvcChannelTest, ANamedNodeIsOpenedWhenItIsAnHx7300s) {
  AddHx7300(0, "1-1");
  AddHx7300(2, "1-2");
  sysfs_.AddNode(4, {.name = "1-3", .product_id = 0x0825});
  kernel_->AddNode("/dev/video4", {});
  ASSERT_EQ(Channel({.node = "/dev/video2"}).Open(event_), S_OK);
  EXPECT_EQ(channel_->Node(), "/dev/video2");
  EXPECT_EQ(Channel({.node = "/dev/video3"}).Open(event_), E_FAIL);
  EXPECT_EQ(Channel({.node = "/dev/video4"}).Open(event_), E_FAIL);
  EXPECT_EQ(debug_.back(), "/dev/video4: not the control interface of an HX7300 bound to uvcvideo");
  EXPECT_EQ(Channel({.node = "/dev/video9"}).Open(event_), kHrDeviceNotConnected);
}

TEST_F(UvcChannelTest, PacketsGoToTheUnitsControlsAfterOneLengthCheckPerControl) {
  AddHx7300();
  std::vector<std::string> seen;
  kernel_->OnTransfer([&](std::uint8_t selector, std::uint8_t query, std::span<std::uint8_t> data) {
    if (query == UVC_GET_CUR) {
      std::fill(data.begin(), data.end(), selector);
    } else {
      seen.push_back(std::to_string(selector) + ":" + std::to_string(data[0]) + "," +
                     std::to_string(data[51]));
    }
    return 0;
  });
  ASSERT_EQ(Channel().Open(event_), S_OK);
  XuPacket out;
  out.Bytes()[0] = 0x11;
  out.Bytes()[51] = 0x99;
  EXPECT_EQ(channel_->Set(16, out.Bytes()), S_OK);
  EXPECT_EQ(channel_->Set(16, out.Bytes()), S_OK);
  XuPacket in;
  EXPECT_EQ(channel_->Get(1, in.Bytes()), S_OK);
  EXPECT_EQ(in.Bytes()[0], 1);
  EXPECT_EQ(in.Bytes()[51], 1);
  EXPECT_EQ(seen, (std::vector<std::string>{"16:17,153", "16:17,153"}));
  const auto calls = kernel_->Calls();
  const std::vector<std::string> transfers(calls.end() - 5, calls.end());
  EXPECT_EQ(transfers, (std::vector<std::string>{
                           "query len unit 4 selector 16 size 2",
                           "query set unit 4 selector 16 size 52",
                           "query set unit 4 selector 16 size 52",
                           "query len unit 4 selector 1 size 2",
                           "query get unit 4 selector 1 size 52",
                       }));
}

TEST_F(UvcChannelTest, AControlOfAnotherSizeIsRefusedBeforeAnythingIsWritten) {
  sysfs_.AddNode(0, {.name = "1-1"});
  kernel_->AddNode("/dev/video0", {.control_length = 40});
  int transfers = 0;
  kernel_->OnTransfer([&](std::uint8_t, std::uint8_t, std::span<std::uint8_t>) {
    ++transfers;
    return 0;
  });
  ASSERT_EQ(Channel().Open(event_), S_OK);
  EXPECT_EQ(channel_->Set(14, XuPacket().Bytes()), kHrInsufficientBuffer);
  EXPECT_EQ(transfers, 0);
  EXPECT_EQ(debug_.back(), "/dev/video0: control 14 holds 40 bytes, not 52");
}

TEST_F(UvcChannelTest, EachErrnoOfTheDriverBecomesItsResultAndInterruptionsAreRetried) {
  AddHx7300();
  ASSERT_EQ(Channel().Open(event_), S_OK);
  XuPacket packet;
  ASSERT_EQ(channel_->Get(1, packet.Bytes()), S_OK);  // the length check is behind us
  const struct {
    int error;
    std::uint32_t result;
  } cases[] = {
      {EPIPE, 0x8007001F},     {ENOBUFS, 0x8007007A}, {ERANGE, 0x80070057}, {EIO, 0x8007045D},
      {ETIMEDOUT, 0x800705B4}, {EBUSY, 0x800700AA},   {EACCES, 0x80070005}, {ENODEV, 0x8007048F},
      {ESHUTDOWN, 0x8007048F}, {EPROTO, 0x8007048F},  {ENOENT, 0x80070002}, {EREMOTE, 0x80070015},
  };
  for (const auto& c : cases) {
    kernel_->FailNextQueries({c.error});
    EXPECT_EQ(channel_->Get(1, packet.Bytes()), static_cast<HRESULT>(c.result)) << c.error;
    kernel_->FailNextQueries({c.error});
    EXPECT_EQ(channel_->Set(1, packet.Bytes()), static_cast<HRESULT>(c.result)) << c.error;
  }
  kernel_->FailNextQueries({EINTR, EINTR});
  EXPECT_EQ(channel_->Set(1, packet.Bytes()), S_OK);
}

TEST_F(UvcChannelTest, StatusEventsFallBackToPollingWhereTheDriverWillNotGiveThem) {
  AddHx7300();
  // A mapping left by an earlier run is as good as a new one.
  kernel_->AddNode("/dev/video0", {.map_error = EEXIST});
  ASSERT_EQ(Channel().Open(event_), S_OK);
  EXPECT_EQ(channel_->StatusMode(), Mode::kControlEvents);

  kernel_->AddNode("/dev/video0", {.map_error = EPERM});
  ASSERT_EQ(Channel().Open(event_), S_OK);
  EXPECT_EQ(channel_->StatusMode(), Mode::kTimer);
  EXPECT_EQ(debug_.back(),
            "/dev/video0: mapping the status control failed (0x80070005); status polled instead");

  kernel_->AddNode("/dev/video0", {.subscribe_error = ENOMEM});
  ASSERT_EQ(Channel().Open(event_), S_OK);
  EXPECT_EQ(channel_->StatusMode(), Mode::kTimer);
  EXPECT_EQ(debug_.back(),
            "/dev/video0: subscribing to its events failed (0x8007000E); status polled instead");
}

TEST_F(UvcChannelTest, ForcedPollingAsksTheDriverForNothing) {
  AddHx7300();
  ASSERT_EQ(Channel({.force_polling = true}).Open(event_), S_OK);
  EXPECT_EQ(channel_->StatusMode(), Mode::kTimer);
  for (const std::string& call : kernel_->Calls()) {
    EXPECT_FALSE(call.starts_with("map") || call.starts_with("subscribe")) << call;
  }
  EXPECT_EQ(debug_.back(), "/dev/video0: status polled, as HX7300_LINUX_POLL asks");
}

// Polling stands in for the interrupt: a signal only for a status that lists a reply or
// carries a device message, the packet the tick read handed to the loop's next status read,
// and the signal taken back once the loop has read by itself every reply the tick found.
TEST_F(UvcChannelTest, PolledStatusSignalsOnlyForWaitingRepliesAndDeviceMessages) {
  AddHx7300();
  std::mutex mutex;
  std::vector<std::uint8_t> waiting;  // opcodes whose replies the device holds
  std::optional<XuPacket> message;    // shown by the next status read only
  kernel_->OnTransfer([&](std::uint8_t selector, std::uint8_t, std::span<std::uint8_t> data) {
    std::lock_guard lock(mutex);
    XuPacket packet;
    if (selector != kStatusSelector) {
      std::erase(waiting, static_cast<std::uint8_t>(selector - 1));
      packet.SetOpcode(static_cast<std::uint8_t>(selector - 1));
    } else if (message) {
      packet = *std::exchange(message, std::nullopt);
    } else {
      packet = XuStatusPacket::Build(waiting);
    }
    std::ranges::copy(packet.Bytes(), data.begin());
    return 0;
  });
  const auto device_holds = [&](std::vector<std::uint8_t> opcodes) {
    std::lock_guard lock(mutex);
    waiting = std::move(opcodes);
  };
  const auto signalled = [&](std::uint32_t ms) {
    return event_.Wait(ms).outcome == WaitOutcome::kSignalled;
  };
  ASSERT_EQ(Channel({.force_polling = true}).Open(event_), S_OK);
  XuPacket status;
  EXPECT_FALSE(signalled(150));

  device_holds({4});
  ASSERT_TRUE(signalled(2000));
  ASSERT_EQ(channel_->Get(kStatusSelector, status.Bytes()), S_OK);
  EXPECT_EQ(status.Byte(0), 1);
  EXPECT_EQ(status.Byte(4), 4);
  // Ticks go on while the loop reads: one finds the reply still waiting and signals for it,
  // but the loop reads it through the status it already has.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  XuPacket reply;
  ASSERT_EQ(channel_->Get(5, reply.Bytes()), S_OK);
  EXPECT_FALSE(signalled(150));
  ASSERT_EQ(channel_->Get(kStatusSelector, status.Bytes()), S_OK);
  EXPECT_EQ(status.Byte(0), 0);

  // Of two replies, the one read leaves the other announced.
  device_holds({4, 12});
  ASSERT_TRUE(signalled(2000));
  ASSERT_EQ(channel_->Get(5, reply.Bytes()), S_OK);
  ASSERT_EQ(channel_->Get(kStatusSelector, status.Bytes()), S_OK);
  EXPECT_EQ(status.Byte(0), 1);
  EXPECT_EQ(status.Byte(4), 12);
  ASSERT_EQ(channel_->Get(13, reply.Bytes()), S_OK);

  XuPacket shown_once;
  shown_once.SetByte(4, kDeviceMessageText);
  shown_once.SetByte(5, 'X');
  {
    std::lock_guard lock(mutex);
    message = shown_once;
  }
  ASSERT_TRUE(signalled(2000));
  ASSERT_EQ(channel_->Get(kStatusSelector, status.Bytes()), S_OK);
  EXPECT_TRUE(std::ranges::equal(status.Bytes(), shown_once.Bytes()));

  // A status that cannot be read signals once, so that the loop meets the failure itself.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  kernel_->FailNextQueries({EIO, EIO, EIO, EIO});
  EXPECT_TRUE(signalled(2000));
  EXPECT_FALSE(signalled(200));
}

TEST_F(UvcChannelTest, AClosedOrHalfOpenedChannelRefusesTransfersAndHoldsNothing) {
  AddHx7300();
  kernel_->AddNode("/dev/video0", {.lock_error = EWOULDBLOCK});
  uvc::UvcChannel& channel = Channel();
  EXPECT_EQ(channel.Set(5, XuPacket().Bytes()), kHrDeviceNotReady);
  ASSERT_EQ(channel.Open(event_), static_cast<HRESULT>(0x800700AAu));
  channel.Close();
  channel.Close();
  EXPECT_EQ(kernel_->OpenDescriptors(), 0);
  XuPacket packet;
  EXPECT_EQ(channel.Get(1, packet.Bytes()), kHrDeviceNotReady);
}

TEST(UvcDeviceSelection, AVideoNodeInTheDeviceVariableSelectsTheUvcvideoBackend) {
  std::unique_ptr<XuChannel> channel;
  ASSERT_EQ(MakeChannelFor("/dev/video2", channel), S_OK);
  EXPECT_NE(dynamic_cast<uvc::UvcChannel*>(channel.get()), nullptr);
  ASSERT_EQ(MakeChannelFor(nullptr, channel), S_OK);
  EXPECT_NE(dynamic_cast<uvc::UvcChannel*>(channel.get()), nullptr);
  EXPECT_EQ(MakeChannelFor("/dev/", channel), E_INVALIDARG);
  EXPECT_EQ(MakeChannelFor("video2", channel), E_INVALIDARG);
  // Linux tells its HX7300s apart by their nodes; a part of a device path selects nothing.
  EXPECT_EQ(MakeChannelFor("path:usb-0000:00:14.0-1", channel), E_INVALIDARG);
}

}  // namespace
}  // namespace hx
