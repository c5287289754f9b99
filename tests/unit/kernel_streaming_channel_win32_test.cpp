// The kernel-streaming channel against an in-process capture stack: discovery, the node walk,
// the exact property and event requests, and the release of everything it took.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "device/capture_device.h"
#include "device/windows/kernel_streaming_channel.h"
#include "support/fake_capture_stack_win32.h"

namespace hx {
namespace {

using test::FakeCaptureStack;
using ::testing::ElementsAre;

constexpr const wchar_t* kHx7300Path =
    L"@device:pnp:\\\\?\\usb#vid_f0c5&pid_e1a7&mi_03#7&2a3b&0&0003#{65e8773d-8f56-11d0-a3b9}";
constexpr const wchar_t* kSecondHx7300Path =
    L"@device:pnp:\\\\?\\usb#vid_f0c5&pid_e1a7&mi_03#8&1c9d&0&0003#{65e8773d-8f56-11d0-a3b9}";
constexpr const wchar_t* kOtherCamera =
    L"@device:pnp:\\\\?\\usb#vid_046d&pid_0825&mi_00#6&1#{65e8773d-8f56-11d0-a3b9}";

// The standard video node types, then a vendor unit.
GUID StandardNode(unsigned index) {
  return {0xDFF229E1 + index, 0xF70F, 0x11D0, {0xB9, 0x17, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};
}
constexpr GUID kVendorUnit = {
    0x12345678, 0x0001, 0x0002, {0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A}};
const std::vector<GUID> kCameraTopology = {StandardNode(5), StandardNode(4), kVendorUnit};

std::unique_ptr<CDuzuVideoCaptureDevice> DeviceOn(FakeCaptureStack&) {
  return std::make_unique<CDuzuVideoCaptureDevice>([](std::unique_ptr<XuChannel>& channel) {
    channel = MakeKernelStreamingChannel(FakeCaptureStack::EntryPoints());
    return S_OK;
  });
}

template <typename T>
std::vector<std::uint8_t> Bytes(const T& value) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
  return {bytes, bytes + sizeof(T)};
}

std::vector<std::uint8_t> U32(std::uint32_t value) {
  return Bytes(value);
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

TEST(KernelStreamingChannel, DiscoveryFailuresGiveTheirResults) {
  {
    FakeCaptureStack empty;
    empty.SetEnumeratorResult(S_FALSE);  // no video input device at all
    auto device = DeviceOn(empty);
    EXPECT_EQ(device->Initialize(), kHrDeviceNotConnected);
    device.reset();
    EXPECT_TRUE(empty.AllReleased());
  }
  {
    FakeCaptureStack failing;
    failing.SetEnumeratorResult(E_OUTOFMEMORY);  // any result but S_OK
    EXPECT_EQ(DeviceOn(failing)->Initialize(), kHrDeviceNotConnected);
  }
  {
    FakeCaptureStack others;
    others.AddDevice(kOtherCamera);
    others.AddDevice(nullptr);  // a name that cannot be read only passes the device over
    others.AddDevice(L"@device:pnp:\\\\?\\usb#VID_F0C5&PID_E1A7&MI_03#7");  // case counts
    auto device = DeviceOn(others);
    EXPECT_EQ(device->Initialize(), E_FAIL);
    EXPECT_EQ(others.MonikersTaken(), 3);
    EXPECT_EQ(others.FreedNames(), 2);
    EXPECT_EQ(others.Binds(0) + others.Binds(1) + others.Binds(2), 0);
    device.reset();
    EXPECT_TRUE(others.AllReleased());
  }
}

TEST(KernelStreamingChannel, EntryPointsAreAskedExactlyAsTheSystemExpects) {
  FakeCaptureStack stack;
  stack.AddDevice(kHx7300Path, {true}, kCameraTopology);
  auto device = DeviceOn(stack);
  ASSERT_EQ(device->Initialize(), S_OK);
  device.reset();
  EXPECT_THAT(stack.EntryCalls(),
              ElementsAre("CoGetMalloc(1)",
                          "CoCreateInstance(62BE5D10-60EB-11D0,null,1,29840822-5B84-11D0)",
                          "CreateClassEnumerator(860BB310-5D01-11D0,0)",
                          // Uninitialize, and the destruction's second release of the capture side.
                          "GetRunningObjectTable(0)", "GetRunningObjectTable(0)"));
  EXPECT_THAT(stack.Revoked(), ElementsAre(0u, 0u));
  EXPECT_TRUE(stack.AllReleased());
}

TEST(KernelStreamingChannel, FirstMatchIsBoundAndItsFirstOutputPinKept) {
  FakeCaptureStack stack;
  stack.AddDevice(kOtherCamera, {true}, kCameraTopology);
  stack.AddDevice(kHx7300Path, {false, true, true}, kCameraTopology);
  stack.AddDevice(kHx7300Path, {true}, kCameraTopology);
  auto device = DeviceOn(stack);
  ASSERT_EQ(device->Initialize(), S_OK);
  EXPECT_EQ(stack.Binds(0), 0);
  EXPECT_EQ(stack.Binds(1), 1);
  EXPECT_EQ(stack.Binds(2), 0);
  EXPECT_EQ(stack.MonikersTaken(), 2);  // the walk stops at the match
  EXPECT_EQ(stack.FreedNames(), 2);
  EXPECT_EQ(stack.FilterRefs(1), 1);
  EXPECT_THAT((std::vector<long>{stack.PinRefs(1, 0), stack.PinRefs(1, 1), stack.PinRefs(1, 2)}),
              ElementsAre(0, 1, 0));
  device->Uninitialize();
  device->Uninitialize();
  EXPECT_TRUE(stack.AllReleased());
}

TEST(KernelStreamingChannel, APathTextTakesTheFirstHx7300WhosePathHoldsItInAnyLetterCase) {
  const struct {
    const wchar_t* text;
    HRESULT result;
    std::vector<int> binds;  // of the other camera and the two HX7300s
  } cases[] = {
      {L"8&1C9D", S_OK, {0, 0, 1}},
      {L"VID_F0C5", S_OK, {0, 1, 0}},
      {L"vid_046d", kHrDeviceNotConnected, {0, 0, 0}},  // only a camera that is no HX7300
      {L"7&2a3b&1", kHrDeviceNotConnected, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    FakeCaptureStack stack;
    for (const wchar_t* path : {kOtherCamera, kHx7300Path, kSecondHx7300Path}) {
      stack.AddDevice(path, {true}, kCameraTopology);
    }
    CAutoResetEvent event;
    ASSERT_EQ(event.Create(), S_OK);
    auto channel = MakeKernelStreamingChannel(FakeCaptureStack::EntryPoints(), c.text);
    EXPECT_EQ(channel->Open(event), c.result);
    EXPECT_EQ((std::vector<int>{stack.Binds(0), stack.Binds(1), stack.Binds(2)}), c.binds);
    if (SUCCEEDED(c.result)) {
      const std::wstring bound = c.binds[1] == 1 ? kHx7300Path : kSecondHx7300Path;
      EXPECT_EQ(channel->DevicePath(), std::string(bound.begin(), bound.end()));
    }
    channel.reset();
    EXPECT_TRUE(stack.AllReleased());
  }
}

TEST(KernelStreamingChannel, FilterWithoutAnOutputPinStillOpens) {
  FakeCaptureStack stack;
  stack.AddDevice(kHx7300Path, {false, false}, kCameraTopology);
  auto device = DeviceOn(stack);
  EXPECT_EQ(device->Initialize(), S_OK);
  EXPECT_EQ(stack.PinRefs(0, 0) + stack.PinRefs(0, 1), 0);
  device.reset();
  EXPECT_TRUE(stack.AllReleased());
}

TEST(KernelStreamingChannel, ExtensionUnitIsTheFirstOfNodesZeroToThreeThatIsNoStandardNode) {
  struct Case {
    std::vector<GUID> nodes;
    HRESULT result;
    std::vector<DWORD> asked;
    std::vector<DWORD> created;
  };
  const Case cases[] = {
      // Four standard or unreadable nodes: not found, even with a unit at id 4.
      {{StandardNode(0), GUID_NULL, StandardNode(7), StandardNode(2), kVendorUnit},
       kHrNotFound,
       {0, 1, 2, 3},
       {}},
      // An unreadable node is passed over; whatever the first other type is, it is taken.
      {{GUID_NULL, StandardNode(1),
        GUID{0xDFF229E9, 0xF70F, 0x11D0, {0xB9, 0x17, 0, 0xA0, 0xC9, 0x22, 0x31, 0x96}}},
       S_OK,
       {0, 1, 2},
       {2}},
      {kCameraTopology, S_OK, {0, 1, 2}, {2}},
  };
  for (const Case& c : cases) {
    FakeCaptureStack stack;
    stack.AddDevice(kHx7300Path, {true}, c.nodes);
    auto device = DeviceOn(stack);
    EXPECT_EQ(device->Initialize(), c.result);
    EXPECT_EQ(stack.TypesAsked(0), c.asked);  // and the node count is never asked
    EXPECT_EQ(stack.NodesCreated(0), c.created);
    device.reset();
    EXPECT_TRUE(stack.AllReleased());
  }
}

TEST(KernelStreamingChannel, PropertiesAndEventsCarryTheExactRequests) {
  FakeCaptureStack stack;
  stack.AddDevice(kHx7300Path, {true}, kCameraTopology);
  auto device = DeviceOn(stack);
  ASSERT_EQ(device->Initialize(), S_OK);
  const auto handle = reinterpret_cast<std::uintptr_t>(device->StatusEvent().NativeHandle());
  ASSERT_NE(handle, 0u);
  const auto event_data = Concat({U32(1), U32(0), Bytes(handle), std::vector<std::uint8_t>(16)});
  ASSERT_EQ(stack.Node().events.size(), 1u);
  EXPECT_EQ(stack.Node().events[0].identifier,
            Concat({Bytes(ks::kEventSetVidcapNotify), U32(1), U32(1)}));
  EXPECT_EQ(stack.Node().events[0].data, event_data);

  XuPacket packet;
  packet.SetOpcode(13);
  packet.SetLength(4);
  ASSERT_EQ(device->SetXU(14, packet.Bytes()), S_OK);
  XuPacket reply;
  ASSERT_EQ(device->GetXU(1, reply.Bytes()), S_OK);
  EXPECT_EQ(reply.Byte(51), 1);  // what the unit answered on selector 1
  const auto& properties = stack.Node().properties;
  ASSERT_EQ(properties.size(), 2u);
  const auto unit_set = Bytes(ks::kExtensionUnitPropertySet);
  EXPECT_EQ(properties[0].identifier, Concat({unit_set, U32(14), U32(0x10000002), U32(2), U32(0)}));
  EXPECT_EQ(properties[0].data,
            std::vector<std::uint8_t>(packet.Bytes().begin(), packet.Bytes().end()));
  EXPECT_EQ(properties[1].identifier, Concat({unit_set, U32(1), U32(0x10000001), U32(2), U32(0)}));
  EXPECT_EQ(properties[1].data_length, 52u);

  device->Uninitialize();
  ASSERT_EQ(stack.Node().events.size(), 2u);  // the event was disabled once
  EXPECT_EQ(stack.Node().events[1].identifier_length, 0u);
  EXPECT_TRUE(stack.Node().events[1].identifier.empty());
  EXPECT_EQ(stack.Node().events[1].data, event_data);
  EXPECT_EQ(device->SetXU(14, packet.Bytes()), kHrDeviceNotReady);
  device.reset();
  EXPECT_EQ(stack.Node().events.size(), 2u);
  EXPECT_TRUE(stack.AllReleased());
}

TEST(KernelStreamingChannel, FailedOpenKeepsWhatItTookUntilReleasedOnce) {
  FakeCaptureStack stack;
  stack.AddDevice(kHx7300Path, {true}, kCameraTopology);
  stack.Node().event_result = static_cast<HRESULT>(0x8007001Fu);
  auto device = DeviceOn(stack);
  EXPECT_EQ(device->Initialize(), static_cast<HRESULT>(0x8007001Fu));
  EXPECT_EQ(stack.FilterRefs(0), 1);
  device->Uninitialize();
  device->Uninitialize();
  // The registration that failed is still taken back, once.
  EXPECT_EQ(stack.Node().events.size(), 2u);
  device.reset();
  EXPECT_TRUE(stack.AllReleased());
}

TEST(KernelStreamingChannel, StatusInterruptDuringATransferReachesTheWaitingThread) {
  FakeCaptureStack stack;
  stack.AddDevice(kHx7300Path, {true}, kCameraTopology);
  auto device = DeviceOn(stack);
  ASSERT_EQ(device->Initialize(), S_OK);
  stack.Node().during_property = [&stack] { ::SetEvent(stack.Node().enabled_event); };
  std::thread waiter(
      [&device] { EXPECT_EQ(device->StatusEvent().Wait(5000).outcome, WaitOutcome::kSignalled); });
  XuPacket packet;
  ASSERT_EQ(device->SetXU(7, packet.Bytes()), S_OK);
  waiter.join();
  // One interrupt, one signal: auto-reset.
  EXPECT_EQ(device->StatusEvent().Wait(0).outcome, WaitOutcome::kTimedOut);
}

}  // namespace
}  // namespace hx
