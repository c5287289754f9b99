// The virtual HX7300 as a USB device: the descriptors a host's driver parses, and the control
// requests that reach the firmware or come back as the stalls and request error codes a video
// class driver turns into results.
#include "usb/virtual_camera.h"

#include <gtest/gtest.h>

#include <vector>

#include "protocol/opcodes.h"
#include "protocol/uvc_descriptors.h"
#include "support/daa_reply.h"

namespace hx::emu::usb {
namespace {

using Kind = ControlOutcome::Kind;

constexpr std::uint8_t kClassIn = 0xA1;
constexpr std::uint8_t kClassOut = 0x21;
constexpr std::uint16_t kUnitIndex = (kExtensionUnitId << 8) | 3;

SetupPacket ClassRequest(std::uint8_t type, std::uint8_t request, std::uint8_t selector,
                         std::uint16_t index, std::uint16_t length) {
  return {type, request, static_cast<std::uint16_t>(selector << 8), index, length};
}

using test::DaaRequest;

// The request error code the host's driver reads after a stall.
std::uint8_t RequestError(VirtualCamera& camera) {
  const ControlOutcome code = camera.Control(ClassRequest(kClassIn, 0x81, 2, 3, 1), {});
  EXPECT_EQ(code.kind, Kind::kDone);
  return code.data.empty() ? 0xFF : code.data[0];
}

// Walks a descriptor set; false when a length does not add up.
bool LengthsAddUp(const std::vector<std::uint8_t>& bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (bytes[at] < 2) {
      return false;
    }
    at += bytes[at];
  }
  return at == bytes.size();
}

TEST(VirtualCamera, DescriptorsHoldTogetherAndDeclareTheUnitWhereTheUtilityLooks) {
  const auto device = DeviceDescriptor();
  ASSERT_EQ(device.size(), 18u);
  EXPECT_EQ(device[8] | (device[9] << 8), hx::usb::kHx7300VendorId);
  EXPECT_EQ(device[10] | (device[11] << 8), hx::usb::kHx7300ProductId);
  const auto configuration = ConfigurationDescriptor();
  EXPECT_TRUE(LengthsAddUp(configuration));
  EXPECT_EQ(configuration[2] | (configuration[3] << 8), static_cast<int>(configuration.size()));
  EXPECT_EQ(configuration[4], kInterfaceCount);
  EXPECT_EQ(hx::usb::FindExtensionUnit(configuration, kConfigurationValue, 3,
                                       hx::usb::kExtensionUnitGuid),
            kExtensionUnitId);
  // The video control header counts exactly its own class descriptors.
  const std::vector<std::uint8_t> header_start = {13, 0x24, 0x01, 0x00, 0x01};
  const auto header = std::search(configuration.begin(), configuration.end(), header_start.begin(),
                                  header_start.end());
  ASSERT_NE(header, configuration.end());
  std::size_t class_bytes = 0;
  for (auto at = header; at != configuration.end() && at[1] == 0x24; at += at[0]) {
    class_bytes += at[0];
  }
  EXPECT_EQ(header[5] | (header[6] << 8), static_cast<int>(class_bytes));
}

TEST(VirtualCamera, StandardRequestsAnswerWithinTheLengthAsked) {
  FirmwareModel model;
  VirtualCamera camera(model);
  const ControlOutcome first = camera.Control({0x80, 0x06, 0x0100, 0, 8}, {});
  EXPECT_EQ(first.kind, Kind::kDone);
  const auto device = DeviceDescriptor();
  EXPECT_EQ(first.data, std::vector<std::uint8_t>(device.begin(), device.begin() + 8));
  EXPECT_EQ(camera.Control({0x80, 0x06, 0x0200, 0, 0xFFFF}, {}).data, ConfigurationDescriptor());
  const ControlOutcome product = camera.Control({0x80, 0x06, 0x0301, 0x0409, 255}, {});
  EXPECT_EQ(product.data,
            (std::vector<std::uint8_t>{14, 3, 'H', 0, 'X', 0, '7', 0, '3', 0, '0', 0, '0', 0}));
  EXPECT_EQ(camera.Control({0x80, 0x06, 0x0305, 0x0409, 255}, {}).kind, Kind::kStall);
  EXPECT_EQ(camera.Control({0x00, 0x09, 1, 0, 0}, {}).kind, Kind::kDone);
  EXPECT_EQ(camera.Control({0x00, 0x09, 2, 0, 0}, {}).kind, Kind::kStall);
  EXPECT_EQ(camera.Control({0x40, 0x01, 0, 0, 0}, {}).kind, Kind::kStall);  // vendor request
}

TEST(VirtualCamera, ExtensionUnitControlsCarryPacketsToAndFromTheFirmware) {
  FirmwareModel model;
  int interrupts = 0;
  model.SetInterruptSink([&] { ++interrupts; });
  VirtualCamera camera(model);
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x85, 16, kUnitIndex, 2), {}).data,
            (std::vector<std::uint8_t>{52, 0}));
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x86, 16, kUnitIndex, 1), {}).data,
            std::vector<std::uint8_t>{0x03});
  const XuPacket request = DaaRequest();
  const std::vector<std::uint8_t> bytes(request.Bytes().begin(), request.Bytes().end());
  EXPECT_EQ(camera.Control(ClassRequest(kClassOut, 0x01, 16, kUnitIndex, 52), bytes).kind,
            Kind::kDone);
  EXPECT_EQ(interrupts, 1);
  const ControlOutcome status = camera.Control(ClassRequest(kClassIn, 0x81, 1, kUnitIndex, 52), {});
  ASSERT_EQ(status.data.size(), 52u);
  EXPECT_EQ(status.data[0], 1);
  EXPECT_EQ(status.data[4], XU_OPCODE_VDSP_RESPONSE);
  EXPECT_EQ(VirtualCamera::StatusInterrupt(),
            (std::array<std::uint8_t, 6>{0x01, kExtensionUnitId, 0, 1, 0, 0}));
}

TEST(VirtualCamera, RefusalsStallAndLeaveTheCodeTheDriverTranslates) {
  FirmwareOptions options;
  options.faults.transfer_faults = {
      {TransferFault::Direction::kSet, 14, static_cast<std::int32_t>(0x80070057u), 0},
      {TransferFault::Direction::kSet, 6, static_cast<std::int32_t>(0x800700AAu), 0},
      {TransferFault::Direction::kGet, 8, static_cast<std::int32_t>(0x8007001Fu), 0},
  };
  FirmwareModel model(options);
  VirtualCamera camera(model);
  const std::vector<std::uint8_t> packet(52);
  EXPECT_EQ(camera.Control(ClassRequest(kClassOut, 0x01, 14, kUnitIndex, 52), packet).kind,
            Kind::kStall);
  EXPECT_EQ(RequestError(camera), 4);  // out of range
  EXPECT_EQ(camera.Control(ClassRequest(kClassOut, 0x01, 6, kUnitIndex, 52), packet).kind,
            Kind::kStall);
  EXPECT_EQ(RequestError(camera), 1);  // not ready
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 8, kUnitIndex, 52), {}).kind, Kind::kStall);
  EXPECT_EQ(RequestError(camera), 6);  // invalid control
  // A packet of another size, a selector the unit does not have, a unit that is not there.
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 1, kUnitIndex, 40), {}).kind, Kind::kStall);
  EXPECT_EQ(RequestError(camera), 4);
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 17, kUnitIndex, 52), {}).kind,
            Kind::kStall);
  EXPECT_EQ(RequestError(camera), 6);
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 1, (7 << 8) | 3, 52), {}).kind,
            Kind::kStall);
  EXPECT_EQ(RequestError(camera), 5);
  // A request that succeeds clears the code.
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 1, kUnitIndex, 52), {}).kind, Kind::kDone);
  EXPECT_EQ(RequestError(camera), 0);
}

TEST(VirtualCamera, ASilentDeviceLeavesPacketTransfersUnansweredButStillDescribesItself) {
  FirmwareOptions options;
  options.faults.silent_after = 1;
  FirmwareModel model(options);
  VirtualCamera camera(model);
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 1, kUnitIndex, 52), {}).kind, Kind::kDone);
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 1, kUnitIndex, 52), {}).kind,
            Kind::kUnanswered);
  EXPECT_EQ(
      camera
          .Control(ClassRequest(kClassOut, 0x01, 16, kUnitIndex, 52), std::vector<std::uint8_t>(52))
          .kind,
      Kind::kUnanswered);
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x85, 1, kUnitIndex, 2), {}).kind, Kind::kDone);
  EXPECT_EQ(camera.Control({0x80, 0x06, 0x0100, 0, 18}, {}).kind, Kind::kDone);
}

TEST(VirtualCamera, StreamingControlsProposeTheOneFormatAndKeepWhatIsSet) {
  FirmwareModel model;
  VirtualCamera camera(model);
  const auto proposal = camera.Control(ClassRequest(kClassIn, 0x87, 1, 4, 26), {});
  ASSERT_EQ(proposal.data.size(), 26u);
  EXPECT_EQ(proposal.data[2], 1);  // format
  EXPECT_EQ(proposal.data[3], 1);  // frame
  std::vector<std::uint8_t> chosen = proposal.data;
  chosen[0] = 0;
  EXPECT_EQ(camera.Control(ClassRequest(kClassOut, 0x01, 1, 4, 26), chosen).kind, Kind::kDone);
  EXPECT_EQ(camera.Control(ClassRequest(kClassIn, 0x81, 1, 4, 26), {}).data, chosen);
  const std::vector<std::uint8_t> short_probe = {1, 2};
  EXPECT_EQ(camera.Control(ClassRequest(kClassOut, 0x01, 1, 4, 26), short_probe).kind,
            Kind::kStall);
}

}  // namespace
}  // namespace hx::emu::usb
