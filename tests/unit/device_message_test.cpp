#include "protocol/device_message.h"
#include "operations/device_message_report.h"

#include <gtest/gtest.h>

#include <string>

#include "support/recording_console.h"

namespace hx {
namespace {

class DeviceMessageTest : public ::testing::Test {
 protected:
  std::string Printed(const XuPacket& packet) {
    test::RecordingConsole console;
    ScopedConsole scoped(console);
    ReportDeviceMessage(packet);
    return console.Output();
  }
  static void PutText(XuPacket& packet, std::size_t offset, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      packet.SetByte(offset + i, static_cast<std::uint8_t>(text[i]));
    }
  }
};

TEST_F(DeviceMessageTest, EfsFormWinsOverTheCodedMarkerAndPrintsItsFieldsInFull) {
  XuPacket packet;
  packet.SetByte(1, 4);
  packet.SetU32(4, 0x123456FE);
  packet.SetU16(8, 0x12);
  packet.SetU16(10, 300);
  EXPECT_EQ(Printed(packet), "DEVICE - [E:F:S] [0x123456FE : 0x00000012 : 300] : (null)");
  packet.SetU16(10, 0xFFFF);  // S is unsigned
  EXPECT_EQ(Printed(packet), "DEVICE - [E:F:S] [0x123456FE : 0x00000012 : 65535] : (null)");
}

TEST_F(DeviceMessageTest, CodedFormPrintsDeviceTextCodeAndSystemText) {
  XuPacket packet;
  packet.SetByte(4, 0xFE);
  packet.SetU32(8, 0x8007048F);
  PutText(packet, 12, "USB\x01reset");
  EXPECT_EQ(Printed(packet), "DEVICE:USB?reset (0x8007048F) : The device is not connected.\r\n");
}

TEST_F(DeviceMessageTest, PlainTextThatFillsItsFieldStopsAtTheEndOfThePacket) {
  XuPacket packet;
  packet.SetByte(4, 0xFF);
  const std::string full(47, 'x');
  PutText(packet, 5, full);
  EXPECT_EQ(Printed(packet), full + "\r\n");
}

TEST_F(DeviceMessageTest, PacketWithoutAMessagePrintsNothing) {
  XuPacket packet;
  packet.SetByte(0, 1);
  packet.SetByte(4, 15);
  EXPECT_EQ(Printed(packet), "");
}

}  // namespace
}  // namespace hx
