#include "protocol/status_packet.h"

#include <gtest/gtest.h>

#include <vector>

namespace hx {
namespace {

TEST(XuStatusPacket, CountAbove48ListsOnlyTheEntriesThePacketHolds) {
  XuPacket packet;
  packet.SetByte(0, 200);
  for (std::size_t i = 0; i < kXuPayloadSize; ++i) {
    packet.Payload()[i] = static_cast<std::uint8_t>(i + 1);
  }
  const XuStatusPacket status(packet);
  ASSERT_EQ(status.Entries().size(), 48u);
  EXPECT_EQ(status.Entries().back(), 48);
}

TEST(XuStatusPacket, DeviceMessageIsRecognisedByByte4WhateverTheCount) {
  XuPacket packet;
  packet.SetByte(4, 0xFE);
  EXPECT_TRUE(XuStatusPacket(packet).IsDeviceMessage());
  packet.SetByte(4, 0xFF);
  EXPECT_TRUE(XuStatusPacket(packet).IsDeviceMessage());
  packet.SetByte(4, 15);
  packet.SetByte(0, 1);
  EXPECT_FALSE(XuStatusPacket(packet).IsDeviceMessage());
  EXPECT_EQ(std::vector<std::uint8_t>(XuStatusPacket(packet).Entries().begin(),
                                      XuStatusPacket(packet).Entries().end()),
            std::vector<std::uint8_t>{15});
}

}  // namespace
}  // namespace hx
