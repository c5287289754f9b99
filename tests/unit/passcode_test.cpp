#include "operations/passcode.h"

#include <gtest/gtest.h>

#include <string>

#include "support/device_run.h"

namespace hx {
namespace {

constexpr std::uint8_t kConfigSelector = 14;

XuPacket PasscodeRequest(std::uint8_t arg1, std::int32_t command, const std::string& text) {
  XuPacket request;
  request.SetLength(static_cast<std::uint8_t>(text.size()));
  request.SetOpcode(13);
  request.SetArg1(arg1);
  request.SetConfigCommand(command);
  std::copy(text.begin(), text.end(), request.PasscodeText().begin());
  return request;
}

class PasscodeTest : public ::testing::Test {
 protected:
  HRESULT Validate(std::uint8_t opcode) {
    return run_.Run("ValidatePasscode",
                    [&](auto& device) { return ValidatePasscode(opcode, device); });
  }
  HRESULT Change() { return run_.Run("ChangePasscode", ChangePasscode); }

  test::DeviceRun run_;
  test::ScriptedChannel& channel_ = run_.Script();
  test::RecordingConsole& console_ = run_.console;
};

TEST_F(PasscodeTest, ValidationSendsThePasscodeForTheOpcodeAndTakesTheDevicesVerdict) {
  console_.QueueHiddenLine(L"1234");
  channel_.ExpectPasscodeVerdict();
  EXPECT_EQ(Validate(5), S_OK);
  EXPECT_EQ(console_.Output(), "\r\nEnter passcode:\r\n");
  EXPECT_EQ(channel_.SetPackets(kConfigSelector).at(0), PasscodeRequest(2, 5, "1234"));

  console_.QueueHiddenLine(L"9999");
  channel_.ExpectPasscodeVerdict(static_cast<std::int32_t>(0x8007052B));
  EXPECT_EQ(Validate(4), static_cast<HRESULT>(0x8007052B));
  console_.QueueHiddenLine(L"9999");
  channel_.ExpectPasscodeVerdict(7);  // a positive Status is returned as it is
  EXPECT_EQ(Validate(4), 7);
}

TEST_F(PasscodeTest, EmptyLineIsSentAsAnEmptyPasscodeAndFifteenCharactersFit) {
  console_.QueueHiddenLine(L"");
  channel_.ExpectPasscodeVerdict();
  EXPECT_EQ(Validate(13), S_OK);
  EXPECT_EQ(channel_.SetPackets(kConfigSelector).back(), PasscodeRequest(2, 13, ""));

  console_.QueueHiddenLine(L"abcdefghij12345");
  channel_.ExpectPasscodeVerdict();
  EXPECT_EQ(Validate(13), S_OK);
  EXPECT_EQ(channel_.SetPackets(kConfigSelector).back(), PasscodeRequest(2, 13, "abcdefghij12345"));
}

TEST_F(PasscodeTest, LinesThatAreTooLongOrNotAlphanumericAreRefusedBeforeSending) {
  for (const wchar_t* line : {L"abcdefghij123456", L"12-34", L"12 34", L""}) {
    console_.QueueHiddenLine(line);
  }
  EXPECT_EQ(Validate(5), E_INVALIDARG);
  EXPECT_EQ(Validate(5), E_INVALIDARG);
  EXPECT_EQ(Validate(5), E_INVALIDARG);
  EXPECT_TRUE(channel_.Log().empty());
  // The prompt's line is ended even when the read is refused.
  EXPECT_EQ(console_.Output(),
            "\r\nEnter passcode:\r\n\r\nEnter passcode:\r\n\r\nEnter passcode:\r\n");
}

TEST_F(PasscodeTest, OtherRepliesAreDroppedAndFailedReadsSkippedUntilTheVerdictComes) {
  XuPacket other;
  other.SetOpcode(10);
  other.SetStatus(-1);
  XuPacket verdict;
  verdict.SetOpcode(13);
  console_.QueueHiddenLine(L"1234");
  channel_.ExpectSet(kConfigSelector)
      .ExpectStatus({10, 12}, 1)
      .ExpectGet(11, other)
      .ExpectGet(13, XuPacket{}, E_FAIL)
      .ExpectStatus({13})
      .ExpectGet(kConfigSelector, verdict);
  EXPECT_EQ(Validate(5), S_OK);
  EXPECT_TRUE(channel_.ScriptDone());
  EXPECT_EQ(console_.Output(), "\r\nEnter passcode:\r\n");  // nothing reported
}

TEST_F(PasscodeTest, ChangeValidatesTheCurrentPasscodeThenSendsTheNewOne) {
  console_.QueueHiddenLine(L"1234");
  console_.QueueHiddenLine(L"Room42");
  console_.QueueHiddenLine(L"Room42");
  channel_.ExpectPasscodeVerdict();
  channel_.ExpectPasscodeVerdict();
  EXPECT_EQ(Change(), S_OK);
  EXPECT_EQ(console_.Output(),
            "\r\nEnter passcode:\r\nEnter new passcode:\r\nRe-enter new passcode:\r\n");
  const auto sent = channel_.SetPackets(kConfigSelector);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], PasscodeRequest(2, 13, "1234"));
  EXPECT_EQ(sent[1], PasscodeRequest(3, 0, "Room42"));
}

TEST_F(PasscodeTest, ChangeSendsNothingWhenTheNewPasscodesDifferOrAreEmpty) {
  for (const wchar_t* line : {L"1234", L"Room42", L"room42", L"1234", L"", L""}) {
    console_.QueueHiddenLine(line);
  }
  EXPECT_EQ(Change(), E_INVALIDARG);
  EXPECT_EQ(Change(), E_INVALIDARG);
  EXPECT_TRUE(channel_.Log().empty());
}

TEST_F(PasscodeTest, WrongCurrentPasscodeStopsTheChange) {
  for (const wchar_t* line : {L"0000", L"Room42", L"Room42"}) {
    console_.QueueHiddenLine(line);
  }
  channel_.ExpectPasscodeVerdict(static_cast<std::int32_t>(0x80070005));
  EXPECT_EQ(Change(), static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(channel_.SetPackets(kConfigSelector).size(), 1u);
}

}  // namespace
}  // namespace hx
