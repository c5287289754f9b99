#include <gtest/gtest.h>

#include <vector>

#include "model/device_status.h"
#include "protocol/opcodes.h"
#include "support/firmware_host.h"
#include "support/temp_file.h"

namespace hx::emu {
namespace {

using test::FirmwareHost;
using test::PasscodeRequest;

constexpr std::uint8_t kValidate = 2;
constexpr std::uint8_t kChange = 3;

std::int32_t Change(FirmwareHost& host, std::string_view passcode) {
  EXPECT_EQ(host.Write(PasscodeRequest(kChange, passcode)), S_OK);
  const auto replies = host.TakeReplies();
  EXPECT_EQ(replies.size(), 1u);
  return replies.empty() ? 0 : replies.back().Status();
}

TEST(FirmwarePasscode, ValidationComparesTheTextAndEchoesArg1) {
  FirmwareHost host;
  ASSERT_EQ(host.Write(PasscodeRequest(kValidate, "1234", XU_OPCODE_IMGUPD_INFO)), S_OK);
  EXPECT_EQ(host.interrupts, 1);
  const auto replies = host.TakeReplies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].Opcode(), XU_OPCODE_SYSTEM_CONFIG);
  EXPECT_EQ(replies[0].Arg1(), kValidate);
  EXPECT_EQ(replies[0].Status(), 0);

  EXPECT_EQ(host.Validate("1235", XU_OPCODE_IMGUPD_INFO), kStatusWrongPassword);
  EXPECT_EQ(host.Validate("123", XU_OPCODE_IMGUPD_INFO), kStatusWrongPassword);
  EXPECT_EQ(host.Validate("12345", XU_OPCODE_IMGUPD_INFO), kStatusWrongPassword);
  EXPECT_EQ(host.Validate("", XU_OPCODE_IMGUPD_INFO), kStatusWrongPassword);
  // Only Length bytes count: a longer text left in the field after them changes nothing.
  XuPacket padded = PasscodeRequest(kValidate, "12345", XU_OPCODE_IMGUPD_INFO);
  padded.SetLength(4);
  ASSERT_EQ(host.Write(padded), S_OK);
  EXPECT_EQ(host.TakeReplies().at(0).Status(), 0);
  // An opcode that no passcode guards is not authorised.
  EXPECT_EQ(host.Validate("1234", 9), kStatusInvalidArgument);
}

TEST(FirmwarePasscode, EmptyPasscodeIsAPasscodeLikeAnyOther) {
  FirmwareHost host(FirmwareOptions{.passcode = ""});
  EXPECT_EQ(host.Validate("", XU_OPCODE_SYSTEM_CONFIG), 0);
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), kStatusWrongPassword);
}

TEST(FirmwarePasscode, ChangeOnlyStraightAfterValidationForConfiguration) {
  FirmwareHost host(FirmwareOptions{.passcode = "old1"});
  EXPECT_EQ(Change(host, "new2"), kStatusAccessDenied);  // nothing validated
  EXPECT_EQ(host.Validate("old1", XU_OPCODE_IMGUPD_INFO), 0);
  EXPECT_EQ(Change(host, "new2"), kStatusAccessDenied);  // validated for another opcode
  EXPECT_EQ(host.Validate("bad", XU_OPCODE_SYSTEM_CONFIG), kStatusWrongPassword);
  EXPECT_EQ(Change(host, "new2"), kStatusAccessDenied);  // the validation failed
  // Kept, a passcode that no run can type would lock every run out.
  for (const char* untypeable : {"", "new 2"}) {
    EXPECT_EQ(host.Validate("old1", XU_OPCODE_SYSTEM_CONFIG), 0);
    EXPECT_EQ(Change(host, untypeable), kStatusInvalidArgument);
  }
  EXPECT_EQ(Change(host, "new2"), kStatusAccessDenied);  // not straight after any more
  EXPECT_EQ(host.Validate("old1", XU_OPCODE_SYSTEM_CONFIG), 0);

  ASSERT_EQ(host.Write(PasscodeRequest(kChange, "new2")), S_OK);
  const auto replies = host.TakeReplies();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].Arg1(), kChange);
  EXPECT_EQ(replies[0].Status(), 0);
  EXPECT_EQ(host.Validate("old1", XU_OPCODE_SYSTEM_CONFIG), kStatusWrongPassword);
  EXPECT_EQ(host.Validate("new2", XU_OPCODE_SYSTEM_CONFIG), 0);
}

TEST(FirmwarePasscode, TimeZoneAndConfigurationCommandsBetweenAValidationAndAChangeStopIt) {
  FirmwareHost host;
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  for (const std::uint8_t arg1 : {std::uint8_t{0}, std::uint8_t{1}}) {
    ASSERT_EQ(host.Write(PasscodeRequest(arg1, "")), S_OK);
  }
  EXPECT_EQ(host.interrupts, 3);
  host.TakeReplies();
  // They come between the validation and a change as well.
  EXPECT_EQ(Change(host, "5678"), kStatusAccessDenied);
}

TEST(FirmwarePasscode, StateDirectoryKeepsAChangedPasscodeAcrossRestarts) {
  test::TempDir dir;
  const FirmwareOptions options{.passcode = "1111", .state_dir = dir.Path().string()};
  {
    FirmwareHost host(options);
    EXPECT_EQ(host.Validate("1111", XU_OPCODE_SYSTEM_CONFIG), 0);
    EXPECT_EQ(Change(host, "2222"), 0);
  }
  FirmwareHost restarted(options);
  EXPECT_EQ(restarted.Validate("1111", XU_OPCODE_SYSTEM_CONFIG), kStatusWrongPassword);
  EXPECT_EQ(restarted.Validate("2222", XU_OPCODE_SYSTEM_CONFIG), 0);
  // Without a state directory a restart brings the passcode it was started with.
  FirmwareHost volatile_device(FirmwareOptions{.passcode = "1111"});
  EXPECT_EQ(volatile_device.Validate("1111", XU_OPCODE_SYSTEM_CONFIG), 0);
}

}  // namespace
}  // namespace hx::emu
