// The network image update as the handler and its progress thread run it against a scripted
// device: the exact requests, the stage lines, the hand-over between the threads, and how the
// run ends on every kind of failure.

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "operations/handlers.h"
#include "support/device_run.h"
#include "support/net_image_lines.h"
#include "support/programs.h"

namespace hx {
namespace {

constexpr std::uint8_t kNetSelector = 5;
constexpr HRESULT kDenied = static_cast<HRESULT>(0x80070005);

XuPacket StepReply(std::uint8_t step, std::int32_t status = 0, std::uint16_t count = 0,
                   std::int32_t percent = 0) {
  XuPacket reply;
  reply.SetOpcode(4);
  reply.SetStatus(status);
  reply.SetReplyStep(step);
  reply.SetStepCount(count);
  reply.SetPercent(percent);
  return reply;
}

using Wire = std::array<std::uint8_t, 52>;

// A step request as the device must receive it: the header, Step, Port and text at literal
// offsets, written without the packet's accessors.
Wire Request(std::uint8_t step, std::uint16_t port, const std::string& text) {
  Wire wire{48, 4, 1, 0};
  wire[8] = step;
  wire[10] = static_cast<std::uint8_t>(port);
  wire[11] = static_cast<std::uint8_t>(port >> 8);
  for (std::size_t i = 0; i < text.size(); ++i) {
    wire.at(16 + i) = static_cast<std::uint8_t>(text[i]);
  }
  return wire;
}

Wire WireOf(const XuPacket& packet) {
  Wire wire{};
  std::ranges::copy(packet.Bytes(), wire.begin());
  return wire;
}

using test::Succeeded;

const std::string kConfigured = Succeeded("Setting server information") +
                                Succeeded("Setting URI information") +
                                Succeeded("Setting port information");

class NetImageUpdateTest : public ::testing::Test {
 protected:
  NetImageUpdateTest() {
    options_.ModeCode = kModeNetImage;
    options_.NetImage.ServerName = "10.1.2.3";
    options_.NetImage.UpdateUrl = "updates/manifest.txt";
    options_.NetImage.ServerPort = 8080;
    NextCase();
  }

  // The device answers the next step request with these replies, each announced by an
  // interrupt of its own that comes once the one before has been read.
  void ExpectRequest(const std::vector<XuPacket>& replies, HRESULT write = S_OK) {
    Script().ExpectSet(kNetSelector, write, replies.empty() ? 0 : 1);
    for (std::size_t i = 0; i < replies.size(); ++i) {
      Script().ExpectStatus({4}).ExpectGet(kNetSelector, replies[i], S_OK,
                                           i + 1 < replies.size() ? 1 : 0);
    }
  }

  void ExpectConfiguration() {
    Script().ExpectPasscodeVerdict();
    ExpectRequest({StepReply(1)});
    ExpectRequest({StepReply(2)});
    ExpectRequest({StepReply(3)});
  }

  HRESULT Run() { return run_->Run(HandleNetImageUpdateMode, options_); }

  // A fresh device and console for the next case of a test.
  void NextCase() { run_.emplace().console.QueueHiddenLine(L"1234"); }

  test::ScriptedChannel& Script() { return run_->Script(); }

  std::vector<std::uint8_t> SentSteps() {
    std::vector<std::uint8_t> steps;
    for (const XuPacket& request : Script().SetPackets(kNetSelector)) {
      steps.push_back(request.Bytes()[8]);
    }
    return steps;
  }

  std::string Output() const { return run_->console.Output(); }

  ModeOptions options_;
  std::optional<test::DeviceRun> run_;
};

TEST_F(NetImageUpdateTest, WholeUpdatePrintsEveryStageAndEndsWithTheFinalStep) {
  ExpectConfiguration();
  ExpectRequest({StepReply(255), StepReply(4), StepReply(5), StepReply(6), StepReply(7),
                 StepReply(8), StepReply(9, 0, 0, 37), StepReply(9, 0, 0, 100), StepReply(10),
                 StepReply(11), StepReply(12), StepReply(13), StepReply(14), StepReply(254)});
  ExpectRequest({});
  EXPECT_EQ(Run(), S_OK);
  EXPECT_TRUE(Script().ScriptDone());
  EXPECT_EQ(SentSteps(), (std::vector<std::uint8_t>{1, 2, 3, 253, 255}));
  EXPECT_EQ(Output(),
            "\r\nEnter passcode:\r\n" + kConfigured + Succeeded("Initializing image update") +
                Succeeded("Starting image update") + Succeeded("Building file manifest") +
                Succeeded("Sending request to server") +
                Succeeded("Receiving file manifest from server") + Succeeded("Getting images") +
                "Download 37% done.\r\n<back>Download 100% done.\r\n<back>" +
                Succeeded("Preparing to validate image") + "Image validation\r\n...SUCCEEDED!\r\n" +
                Succeeded("Post image download process") + Succeeded("Flashing images") +
                "Image update succeed.  Please restart the device.\r\n");
}

TEST_F(NetImageUpdateTest, OneRequestBufferCarriesEachTextOnAndThePortFromStepThree) {
  struct Case {
    std::string server;
    std::string url;
    std::uint16_t port;
    std::string sent_server;  // what the text field holds at step 1
    std::string sent_url;     // what it holds from step 2 on
  } cases[] = {
      // A URL shorter than the server name leaves the rest of the name after its zero byte.
      {"update-server.example.com", "nk.txt", 80, "update-server.example.com",
       std::string("nk.txt\0server.example.com", 25)},
      {"srv", "a-much-longer-manifest-path.txt", 0xFFFF, "srv", "a-much-longer-manifest-path.txt"},
      // 35 characters, the most the command line lets through, fill the field up to its zero.
      {std::string(35, 's'), std::string(35, 'u'), 1, std::string(35, 's'), std::string(35, 'u')},
      {std::string(35, 's'), std::string(2, 'u'), 443, std::string(35, 's'),
       "uu" + std::string(1, '\0') + std::string(32, 's')},
      {"", "", 8000, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server + " " + c.url);
    NextCase();
    options_.NetImage.ServerName = c.server;
    options_.NetImage.UpdateUrl = c.url;
    options_.NetImage.ServerPort = c.port;
    ExpectConfiguration();
    ExpectRequest({StepReply(254)});
    ExpectRequest({});
    ASSERT_EQ(Run(), S_OK);
    const std::vector<XuPacket> sent = Script().SetPackets(kNetSelector);
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(WireOf(sent[0]), Request(1, 0, c.sent_server));
    EXPECT_EQ(WireOf(sent[1]), Request(2, 0, c.sent_url));
    EXPECT_EQ(WireOf(sent[2]), Request(3, c.port, c.sent_url));
    EXPECT_EQ(WireOf(sent[3]), Request(253, c.port, c.sent_url));
    EXPECT_EQ(WireOf(sent[4]), Request(255, c.port, c.sent_url));
  }
}

TEST_F(NetImageUpdateTest, StepsWithoutALineAreAcceptedSilentlyAndTheValidationLineEndsItself) {
  ExpectConfiguration();
  // Codes outside the table, a passing NAND write and progress print nothing of their own.
  ExpectRequest({StepReply(0), StepReply(15), StepReply(200), StepReply(253), StepReply(10, 0, 200),
                 StepReply(9, 0, 0, 5), StepReply(12, 0, 200), StepReply(1), StepReply(254)});
  ExpectRequest({});
  EXPECT_EQ(Run(), S_OK);
  EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + kConfigured +
                          "Download 5% done.\r\n<back>Image validation\r\n...SUCCEEDED!\r\n" +
                          Succeeded("Setting server information") +
                          "Image update succeed.  Please restart the device.\r\n");
}

TEST_F(NetImageUpdateTest, StepCountAboveTwoHundredFailsTheStepWithoutTheFailureLine) {
  ExpectConfiguration();
  ExpectRequest({StepReply(4, 0, 200), StepReply(5, 0, 201)});
  ExpectRequest({});  // the final step still goes: the failure came after the start
  EXPECT_EQ(Run(), E_FAIL);
  EXPECT_EQ(SentSteps(), (std::vector<std::uint8_t>{1, 2, 3, 253, 255}));
  EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + kConfigured + Succeeded("Starting image update") +
                          "Building file manifest...FAILED!  Error = 0x00000000 (201)\r\n");
}

TEST_F(NetImageUpdateTest, FailedStageAfterTheStartEndsTheRunWithItsStatusAfterTheFinalStep) {
  struct Case {
    HRESULT result;
    XuPacket reply;
    std::string lines;
  } cases[] = {
      {static_cast<HRESULT>(0x80190194), StepReply(7, static_cast<std::int32_t>(0x80190194), 3),
       "Receiving file manifest from server...FAILED!  Error = 0x80190194 (3)\r\n"
       "Image Update failed.\r\n"},
      {E_FAIL, StepReply(10, 0, 0xFFFF), "NAND write...FAILED!  Error = 0x00000000 (65535)\r\n"},
      {0x70, StepReply(10, 0x70),
       "NAND write...FAILED!  Error = 0x00000070 (0)\r\nImage Update failed.\r\n"},
      {kDenied, StepReply(12, kDenied),
       "Image validation\r\n...FAILED!  Error = 0x80070005 (0)\r\nImage Update failed.\r\n"},
      // The success stage with a Status prints its line and the failure line both.
      {kDenied, StepReply(254, kDenied),
       "Image update succeed.  Please restart the device.\r\nImage Update failed.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    NextCase();
    ExpectConfiguration();
    ExpectRequest({StepReply(255), c.reply});
    ExpectRequest({});
    EXPECT_EQ(Run(), c.result);
    EXPECT_TRUE(Script().ScriptDone());
    EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + kConfigured +
                            Succeeded("Initializing image update") + c.lines);
  }
}

TEST_F(NetImageUpdateTest, FailedConfigurationStepEndsTheRunWithoutSendingMore) {
  const char* stages[] = {"Setting server information", "Setting URI information",
                          "Setting port information"};
  for (std::uint8_t failing = 1; failing <= 3; ++failing) {
    SCOPED_TRACE(failing);
    NextCase();
    Script().ExpectPasscodeVerdict();
    std::string lines;
    for (std::uint8_t step = 1; step < failing; ++step) {
      ExpectRequest({StepReply(step)});
      lines += Succeeded(stages[step - 1]);
    }
    ExpectRequest({StepReply(failing, kDenied, 7)});
    EXPECT_EQ(Run(), kDenied);
    EXPECT_TRUE(Script().ScriptDone());
    EXPECT_EQ(SentSteps().size(), failing);
    EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + lines + stages[failing - 1] +
                            "...FAILED!  Error = 0x80070005 (7)\r\nImage Update failed.\r\n");
  }
}

TEST_F(NetImageUpdateTest, InterruptWithoutAStepReplyHandsOnTheStepInTheRecordAgain) {
  Script().ExpectPasscodeVerdict();
  // Before any step reply the record holds step 0: the hand-over comes without a line, and
  // the URL goes while the server's own reply is still to come.
  Script().ExpectSet(kNetSelector, S_OK, 1).ExpectStatus({10}).ExpectGet(11, XuPacket());
  Script().ExpectSet(kNetSelector, S_OK, 1).ExpectStatus({4}).ExpectGet(kNetSelector, StepReply(1));
  // A status packet listing nothing leaves step 1 in the record: it is handled a second time.
  Script().ExpectSet(kNetSelector, S_OK, 1).ExpectStatus({});
  ExpectRequest({StepReply(254)});
  ExpectRequest({});
  EXPECT_EQ(Run(), S_OK);
  EXPECT_TRUE(Script().ScriptDone());
  EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + Succeeded("Setting server information") +
                          Succeeded("Setting server information") +
                          "Image update succeed.  Please restart the device.\r\n");
}

TEST_F(NetImageUpdateTest, ReadFailuresAreReportedAndTheRecordIsHandledAsItStands) {
  const HRESULT stalled = static_cast<HRESULT>(0x8007001F);
  Script().ExpectPasscodeVerdict();
  ExpectRequest({StepReply(1)});
  // A failed reply read is reported and passed over; a failed status read too, and the
  // record, still at step 1, is handled again.
  Script()
      .ExpectSet(kNetSelector, S_OK, 1)
      .ExpectStatus({4, 4})
      .ExpectGet(kNetSelector, XuPacket(), stalled)
      .ExpectGet(kNetSelector, StepReply(2));
  Script().ExpectSet(kNetSelector, S_OK, 1).ExpectGet(1, XuPacket(), stalled);
  ExpectRequest({StepReply(254)});
  ExpectRequest({});
  EXPECT_EQ(Run(), S_OK);
  EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + Succeeded("Setting server information") +
                          test::ReportLine(stalled) + Succeeded("Setting URI information") +
                          test::ReportLine(stalled) + Succeeded("Setting URI information") +
                          "Image update succeed.  Please restart the device.\r\n");
}

TEST_F(NetImageUpdateTest, DeviceThatHasGoneEndsTheUpdateInsteadOfLeavingItWaiting) {
  ExpectConfiguration();
  Script()
      .ExpectSet(kNetSelector, S_OK, 1)
      .ExpectStatus({4})
      .ExpectGet(kNetSelector, StepReply(9, 0, 0, 40), S_OK, 1)
      .ExpectGet(1, XuPacket(), kHrDeviceNotConnected);
  ExpectRequest({}, kHrDeviceNotConnected);
  EXPECT_EQ(Run(), kHrDeviceNotConnected);
  EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + kConfigured + "Download 40% done.\r\n<back>" +
                          test::ReportLine(kHrDeviceNotConnected) + "Image Update failed.\r\n" +
                          test::ReportLine(kHrDeviceNotConnected));
}

// A failed write ends the run at once; the progress thread, left waiting for a step result,
// is stopped and joined before the device is released (the sanitizer builds would see it use
// the device afterwards).
TEST_F(NetImageUpdateTest, FailedWriteAfterTheThreadStartedStopsTheThread) {
  const HRESULT stalled = static_cast<HRESULT>(0x8007001F);
  const std::vector<std::vector<XuPacket>> answers = {
      {StepReply(1)}, {StepReply(2)}, {StepReply(3)}, {StepReply(254)}};
  const std::string lines[] = {Succeeded("Setting server information"),
                               Succeeded("Setting URI information"),
                               Succeeded("Setting port information"),
                               "Image update succeed.  Please restart the device.\r\n"};
  for (std::size_t failing = 0; failing < 5; ++failing) {
    SCOPED_TRACE(failing);
    NextCase();
    Script().ExpectPasscodeVerdict();
    std::string expected = "\r\nEnter passcode:\r\n";
    for (std::size_t step = 0; step < failing; ++step) {
      ExpectRequest(answers[step]);
      expected += lines[step];
    }
    ExpectRequest({}, stalled);
    EXPECT_EQ(Run(), stalled);
    EXPECT_EQ(Output(), expected + test::ReportLine(stalled));
    run_.reset();
  }
}

TEST_F(NetImageUpdateTest, RefusedPasscodeStartsNothing) {
  Script().ExpectPasscodeVerdict(static_cast<std::int32_t>(0x8007052B));
  EXPECT_EQ(Run(), static_cast<HRESULT>(0x8007052B));
  EXPECT_TRUE(Script().ScriptDone());
  EXPECT_TRUE(Script().SetPackets(kNetSelector).empty());
  EXPECT_EQ(Output(),
            "\r\nEnter passcode:\r\n" + test::ReportLine(static_cast<HRESULT>(0x8007052B)));
}

}  // namespace
}  // namespace hx
