#include "protocol/link_frames.h"

#include <gtest/gtest.h>

#include <vector>

namespace hx::link {
namespace {

TEST(LinkFrames, RequestFrameHasTheWireLayout) {
  RequestFrame frame;
  frame.kind = RequestKind::kGet;
  frame.selector = 16;
  frame.tag = 0x04030201;
  frame.data.SetByte(0, 0xAA);
  frame.data.SetByte(51, 0xBB);
  const RequestFrameBytes bytes = EncodeRequest(frame);
  EXPECT_EQ(bytes[0], 2);
  EXPECT_EQ(bytes[1], 16);
  EXPECT_EQ(bytes[2], 52);
  EXPECT_EQ(bytes[3], 0);
  EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 4, bytes.begin() + 8)),
            (std::vector<std::uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(bytes[8], 0xAA);
  EXPECT_EQ(bytes[59], 0xBB);

  RequestFrame decoded;
  ASSERT_EQ(DecodeRequest(bytes, decoded), FrameError::kNone);
  EXPECT_EQ(decoded.kind, RequestKind::kGet);
  EXPECT_EQ(decoded.selector, 16);
  EXPECT_EQ(decoded.tag, 0x04030201u);
  EXPECT_EQ(decoded.data, frame.data);
}

TEST(LinkFrames, DeviceFrameHasTheWireLayout) {
  DeviceFrame frame;
  frame.kind = DeviceFrameKind::kGetDone;
  frame.selector = 1;
  frame.tag = 7;
  frame.result = static_cast<HRESULT>(0x8007001Fu);
  frame.data.SetByte(0, 0x11);
  const DeviceFrameBytes bytes = EncodeDeviceFrame(frame);
  EXPECT_EQ(bytes[0], 0x82);
  EXPECT_EQ(bytes[1], 1);
  EXPECT_EQ(bytes[2], 52);
  EXPECT_EQ(bytes[4], 7);
  EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 8, bytes.begin() + 12)),
            (std::vector<std::uint8_t>{0x1F, 0x00, 0x07, 0x80}));
  EXPECT_EQ(bytes[12], 0x11);

  DeviceFrame decoded;
  ASSERT_EQ(DecodeDeviceFrame(bytes, decoded), FrameError::kNone);
  EXPECT_EQ(decoded.kind, DeviceFrameKind::kGetDone);
  EXPECT_EQ(decoded.result, frame.result);
  EXPECT_EQ(decoded.data, frame.data);
}

TEST(LinkFrames, DecodersRefuseUnknownKindsAndOtherLengths) {
  DeviceFrameBytes device = EncodeDeviceFrame(MakeInterrupt());
  DeviceFrame frame;
  for (const int kind : {0x00, 0x01, 0x7F, 0x84, 0xFF}) {
    device[0] = static_cast<std::uint8_t>(kind);
    EXPECT_EQ(DecodeDeviceFrame(device, frame), FrameError::kUnknownKind) << kind;
  }
  device[0] = 0x83;
  device[2] = 51;
  EXPECT_EQ(DecodeDeviceFrame(device, frame), FrameError::kBadLength);
  device[2] = 52;
  device[3] = 1;  // 308: the high byte counts too
  EXPECT_EQ(DecodeDeviceFrame(device, frame), FrameError::kBadLength);

  RequestFrameBytes request = EncodeRequest({});
  RequestFrame decoded;
  for (const int kind : {0, 3, 0x81}) {
    request[0] = static_cast<std::uint8_t>(kind);
    EXPECT_EQ(DecodeRequest(request, decoded), FrameError::kUnknownKind) << kind;
  }
  request[0] = 1;
  request[2] = 60;
  EXPECT_EQ(DecodeRequest(request, decoded), FrameError::kBadLength);
}

TEST(LinkFrames, HelloCarriesTheZeroTerminatedPathCutToItsRoom) {
  const DeviceFrameBytes bytes = EncodeDeviceFrame(MakeHello("usb#vid_f0c5"));
  EXPECT_EQ(bytes[0], 0x80);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[12]), 12), "usb#vid_f0c5");
  EXPECT_EQ(bytes[24], 0);
  DeviceFrame hello;
  ASSERT_EQ(DecodeDeviceFrame(bytes, hello), FrameError::kNone);
  EXPECT_EQ(HelloPath(hello), "usb#vid_f0c5");

  const std::string long_path(80, 'p');
  EXPECT_EQ(HelloPath(MakeHello(long_path)), std::string(kMaxDevicePath, 'p'));
  // A path that fills every data byte without a terminator still ends at the frame's end.
  DeviceFrameBytes full = EncodeDeviceFrame(MakeHello(""));
  std::fill(full.begin() + 12, full.end(), 'q');
  ASSERT_EQ(DecodeDeviceFrame(full, hello), FrameError::kNone);
  EXPECT_EQ(HelloPath(hello), std::string(52, 'q'));
}

}  // namespace
}  // namespace hx::link
