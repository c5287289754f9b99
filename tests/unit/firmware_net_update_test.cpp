// The virtual HX7300's answers to the network update's steps that it gives at once, and the
// textual forms of the update's pace and faults.

#include <gtest/gtest.h>

#include "model/net_update_options.h"
#include "model/option_text.h"
#include "protocol/net_image_steps.h"
#include "protocol/opcodes.h"
#include "support/firmware_host.h"

namespace hx {
namespace {

constexpr std::int32_t kDenied = static_cast<std::int32_t>(0x80070005);
constexpr std::int32_t kInvalid = static_cast<std::int32_t>(0x80070057);

// The one reply a request gets: its step code and Status.
std::pair<int, std::int32_t> AnswerTo(test::FirmwareHost& host, const XuPacket& request) {
  const std::vector<XuPacket> replies = host.Run(std::span(&request, 1));
  EXPECT_EQ(replies.size(), 1u);
  if (replies.empty()) {
    return {-1, 0};
  }
  EXPECT_EQ(replies[0].Opcode(), XU_OPCODE_IMGUPD_NET_INFO);
  return {replies[0].ReplyStep(), replies[0].Status()};
}

using Answer = std::pair<int, std::int32_t>;

TEST(FirmwareNetUpdate, StepsAreAnsweredOnlyForAHostAuthorisedForTheNetworkUpdate) {
  test::FirmwareHost host;
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_SERVER, "srv")), Answer(1, kDenied));
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);  // another operation's
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_URL, "m.txt")), Answer(2, kDenied));
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_START)),
            Answer(NETIMG_STAGE_INITIALIZING, kDenied));
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_NET_INFO), 0);
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_SERVER, "srv")), Answer(1, 0));
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_PORT, "", 8000)), Answer(3, 0));
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(7)), Answer(7, kInvalid));
}

TEST(FirmwareNetUpdate, StartWithoutServerUrlAndPortIsRefusedInItsFirstStage) {
  test::FirmwareHost host;
  ASSERT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_NET_INFO), 0);
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_SERVER, "srv")), Answer(1, 0));
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_URL, "m.txt")), Answer(2, 0));
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_START)),
            Answer(NETIMG_STAGE_INITIALIZING, kInvalid));
  // The final step goes unanswered and makes the device forget what it was given; so does
  // the host's leaving.
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_PORT, "", 80)), Answer(3, 0));
  const XuPacket final_step = test::NetUpdateStep(NETIMG_STEP_FINAL);
  EXPECT_TRUE(host.Run(std::span(&final_step, 1)).empty());
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_START)),
            Answer(NETIMG_STAGE_INITIALIZING, kInvalid));
}

TEST(FirmwareNetUpdate, InjectedStatusOrStepCountFailsAConfigurationStep) {
  emu::FirmwareOptions options;
  std::string error;
  ASSERT_TRUE(emu::ApplyFaultText("net-stage-status=1:0x8007001F", options.faults, error));
  ASSERT_TRUE(emu::ApplyFaultText("net-stage-count=0x2:201", options.faults, error));
  test::FirmwareHost host(options);
  ASSERT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_NET_INFO), 0);
  EXPECT_EQ(AnswerTo(host, test::NetUpdateStep(NETIMG_STEP_SERVER, "srv")),
            Answer(1, static_cast<std::int32_t>(0x8007001F)));
  const XuPacket url = test::NetUpdateStep(NETIMG_STEP_URL, "m.txt");
  const std::vector<XuPacket> replies = host.Run(std::span(&url, 1));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].Status(), 0);
  EXPECT_EQ(replies[0].StepCount(), 201);
}

TEST(FirmwareNetUpdate, PaceAndFaultTextsAreReadOrRefusedWhole) {
  emu::NetUpdatePace pace;
  std::string error;
  EXPECT_TRUE(emu::ApplyNetUpdatePaceText("stage-ms=250,rate=0x10000", pace, error));
  EXPECT_EQ(pace.stage_delay_ms, 250u);
  EXPECT_EQ(pace.max_bytes_per_second, 65536u);
  for (const std::string_view bad : {"stage-ms", "stage-ms=-1", "rate=1k", "speed=5", ""}) {
    EXPECT_FALSE(emu::ApplyNetUpdatePaceText(bad, pace, error)) << bad;
    EXPECT_NE(error.find("network update setting"), std::string::npos);
  }
  emu::FaultPlan plan;
  EXPECT_TRUE(emu::ApplyFaultText("net-stage-status=255:0x80070032", plan, error));
  EXPECT_EQ(plan.net_update.stage_status.at(255), static_cast<std::int32_t>(0x80070032));
  for (const std::string_view bad :
       {"net-stage-status=256:1", "net-stage-status=5", "net-stage-count=5:65536",
        "net-stage-count=5:1:2", "net-stage-status"}) {
    EXPECT_FALSE(emu::ApplyFaultText(bad, plan, error)) << bad;
  }
}

}  // namespace
}  // namespace hx
