#include "model/option_text.h"

#include <gtest/gtest.h>

namespace hx::emu {
namespace {

TEST(EmulatorOptionText, DaaSettingsTakeDecimalAndHexadecimal) {
  DaaValues values;
  std::string error;
  ASSERT_TRUE(ApplyDaaText("group=7,ictrl1-voice=0x0a,low-mag=0x1234,high-mag=65535,lvcs=0", values,
                           error));
  EXPECT_EQ(values.group_id, 7);
  EXPECT_EQ(values.ictrl1_voice, 0x0A);
  EXPECT_EQ(values.low_mag, 0x1234);
  EXPECT_EQ(values.high_mag, 65535);
  EXPECT_EQ(values.lvcs_check, 0);

  EXPECT_FALSE(ApplyDaaText("gcr=256", values, error));
  EXPECT_EQ(error, "bad DAA setting 'gcr=256'");
  EXPECT_FALSE(ApplyDaaText("colour=1", values, error));
  EXPECT_FALSE(ApplyDaaText("gcr", values, error));
  EXPECT_FALSE(ApplyDaaText("gcr=", values, error));
}

TEST(EmulatorOptionText, EveryFaultNameFillsItsPartOfThePlan) {
  FaultPlan plan;
  std::string error;
  for (const char* text :
       {"daa-bad-checksum", "daa-other-records=2", "extra-replies=4:13", "no-interrupts",
        "drop-interrupts=3", "duplicate-interrupts", "device-message=coded:0x1F:line down",
        "fail-set=16:0x8007001F:2", "fail-get=1:0x80070015", "failure-status=13:0x80004005",
        "no-reply=15", "latency-us=100", "disconnect-after=5", "silent-after=7"}) {
    EXPECT_TRUE(ApplyFaultText(text, plan, error)) << text;
  }
  EXPECT_TRUE(plan.daa_bad_checksum);
  EXPECT_EQ(plan.daa_other_records, 2u);
  EXPECT_EQ(plan.extra_replies, (std::vector<std::uint8_t>{4, 13}));
  EXPECT_TRUE(plan.no_interrupts);
  EXPECT_EQ(plan.drop_interrupts, 3u);
  EXPECT_TRUE(plan.duplicate_interrupts);
  ASSERT_TRUE(plan.device_message);
  EXPECT_EQ(plan.device_message->form, DeviceMessageFault::Form::kCodedText);
  EXPECT_EQ(plan.device_message->code, 0x1Fu);
  EXPECT_EQ(plan.device_message->text, "line down");
  ASSERT_EQ(plan.transfer_faults.size(), 2u);
  EXPECT_EQ(plan.transfer_faults[0].direction, TransferFault::Direction::kSet);
  EXPECT_EQ(plan.transfer_faults[0].selector, 16);
  EXPECT_EQ(plan.transfer_faults[0].result, static_cast<std::int32_t>(0x8007001Fu));
  EXPECT_EQ(plan.transfer_faults[0].nth, 2u);
  EXPECT_EQ(plan.transfer_faults[1].nth, 0u);
  EXPECT_TRUE(plan.no_reply.contains(15));
  EXPECT_EQ(plan.latency_us, 100u);
  EXPECT_EQ(plan.disconnect_after, 5u);
  EXPECT_EQ(plan.silent_after, 7u);
}

TEST(EmulatorOptionText, ImageTransferFaults) {
  FaultPlan plan;
  std::string error;
  ASSERT_TRUE(ApplyFaultText("info-status=0x80070070", plan, error));
  EXPECT_EQ(plan.info_status, static_cast<std::int32_t>(0x80070070u));
  ASSERT_TRUE(ApplyFaultText("flush-status=1", plan, error));
  EXPECT_EQ(plan.flush_status, 1);
  ASSERT_TRUE(ApplyFaultText("corrupt-after=170", plan, error));
  EXPECT_EQ(plan.corrupt_after, 170u);

  ASSERT_TRUE(ApplyFaultText("echo-status=0x8007001F", plan, error));
  ASSERT_TRUE(plan.echo_status);
  EXPECT_EQ(plan.echo_status->status, static_cast<std::int32_t>(0x8007001Fu));
  EXPECT_EQ(plan.echo_status->block, std::nullopt);
  ASSERT_TRUE(ApplyFaultText("echo-status=5:65535", plan, error));
  EXPECT_EQ(plan.echo_status->status, 5);
  EXPECT_EQ(plan.echo_status->block, 65535);

  for (const char* text : {"info-status", "info-status=", "flush-status=x", "corrupt-after=-1",
                           "echo-status=1:65536", "echo-status=1:2:3", "echo-status=:2"}) {
    EXPECT_FALSE(ApplyFaultText(text, plan, error)) << text;
    EXPECT_EQ(error, "bad fault '" + std::string(text) + "'");
  }
  EXPECT_NE(FaultHelpText().find("  echo-status=STATUS[:BLOCK]\n"), std::string_view::npos);
}

TEST(EmulatorOptionText, ConfigurationAndDiagnosticsReplyFaults) {
  FaultPlan plan;
  std::string error;
  for (const char* text :
       {"config-status=0x80070005", "config-arg1=0", "config-command=0xFFFFFFFF",
        "validation-result=0x800705B9", "upload-status=7", "diag-server-reply"}) {
    EXPECT_TRUE(ApplyFaultText(text, plan, error)) << text;
  }
  EXPECT_EQ(plan.config.status, static_cast<std::int32_t>(0x80070005u));
  EXPECT_EQ(plan.config.arg1, 0);
  EXPECT_EQ(plan.config.command, -1);
  EXPECT_EQ(plan.config.validation_result, static_cast<std::int32_t>(0x800705B9u));
  EXPECT_EQ(plan.config.upload_status, 7);
  EXPECT_TRUE(plan.config.diag_server_reply);
  for (const char* text : {"config-arg1=256", "config-status", "upload-status=", "config-arg1",
                           "diag-server-reply=1", "validation-result=x"}) {
    EXPECT_FALSE(ApplyFaultText(text, plan, error)) << text;
    EXPECT_EQ(error, "bad fault '" + std::string(text) + "'");
  }
}

TEST(EmulatorOptionText, RefusedFaultsSayWhich) {
  FaultPlan plan;
  std::string error;
  for (const char* text : {"no-such-fault", "latency-us", "latency-us=x", "no-interrupts=1",
                           "fail-set=16", "fail-set=300:1", "device-message=morse:1",
                           "device-message=efs:1:2", "extra-replies=4:", "failure-status=13"}) {
    EXPECT_FALSE(ApplyFaultText(text, plan, error)) << text;
    EXPECT_EQ(error, "bad fault '" + std::string(text) + "'");
  }
}

}  // namespace
}  // namespace hx::emu
