#include "operations/status_poller.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/device_run.h"

namespace hx {
namespace {

XuPacket ReplyOf(std::uint8_t opcode, std::int32_t status = 0) {
  XuPacket reply;
  reply.SetOpcode(opcode);
  reply.SetStatus(status);
  return reply;
}

// Finishes on the first reply of one opcode and records every reply it was shown.
class AwaitOpcode final : public ReplyJudge {
 public:
  explicit AwaitOpcode(std::uint8_t opcode) : opcode_(opcode) {}
  ReplyVerdict Judge(const XuPacket& reply, HRESULT read_result) override {
    seen.push_back(reply.Opcode());
    return reply.Opcode() == opcode_ ? ReplyVerdict::Finish(read_result) : ReplyVerdict::Drop();
  }
  std::vector<std::uint8_t> seen;

 private:
  std::uint8_t opcode_;
};

class StatusPollerTest : public ::testing::Test {
 protected:
  HRESULT Poll(const PollRules& rules, ReplyJudge& judge) {
    return run_.Run("PollForReply",
                    [&](auto& device) { return PollForReply(device, rules, judge); });
  }

  test::DeviceRun run_;
  test::ScriptedChannel& channel_ = run_.Script();
};

TEST_F(StatusPollerTest, ReadsListedRepliesInOrderAndStopsAtTheAwaitedOne) {
  channel_.RaiseInterrupt();  // left over: the first wait returns at once
  channel_.ExpectStatus({}, 1)
      .ExpectStatus({10, 13, 12})
      .ExpectGet(11, ReplyOf(10))
      .ExpectGet(14, ReplyOf(13));
  AwaitOpcode judge(13);
  EXPECT_EQ(Poll(PollRules{}, judge), S_OK);
  EXPECT_EQ(judge.seen, (std::vector<std::uint8_t>{10, 13}));
  EXPECT_TRUE(channel_.ScriptDone());
}

TEST_F(StatusPollerTest, OpcodeSelectorsWrapInEightBits) {
  channel_.RaiseInterrupt();
  channel_.ExpectStatus({0xFE, 0xFF, 13})
      .ExpectGet(0xFF, ReplyOf(0xFE))
      .ExpectGet(0, ReplyOf(0xFF))
      .ExpectGet(14, ReplyOf(13));
  AwaitOpcode judge(13);
  EXPECT_EQ(Poll(PollRules{}, judge), S_OK);
}

TEST_F(StatusPollerTest, CountAbove48ReadsOnlyThe48EntriesThePacketHolds) {
  XuPacket status;
  status.SetByte(0, 60);
  for (std::size_t i = 0; i < kXuPayloadSize; ++i) {
    status.Payload()[i] = 10;
  }
  channel_.RaiseInterrupt();
  channel_.ExpectGet(1, status);
  for (int i = 0; i < 48; ++i) {
    channel_.ExpectGet(11, ReplyOf(10), S_OK, i == 47 ? 1 : 0);
  }
  channel_.ExpectStatus({13}).ExpectGet(14, ReplyOf(13));
  AwaitOpcode judge(13);
  EXPECT_EQ(Poll(PollRules{}, judge), S_OK);
  EXPECT_EQ(judge.seen.size(), 49u);
}

TEST_F(StatusPollerTest, FailedReplyReadIsSkippedAndReportedOnlyWhenAContextIsGiven) {
  channel_.RaiseInterrupt();
  channel_.ExpectStatus({10, 13}).ExpectGet(11, XuPacket{}, E_FAIL).ExpectGet(14, ReplyOf(13));
  AwaitOpcode quiet(13);
  EXPECT_EQ(Poll(PollRules{}, quiet), S_OK);
  EXPECT_EQ(run_.console.Output(), "");

  channel_.RaiseInterrupt();
  channel_.ExpectStatus({10, 13}).ExpectGet(11, XuPacket{}, E_FAIL).ExpectGet(14, ReplyOf(13));
  AwaitOpcode reported(13);
  EXPECT_EQ(Poll(PollRules{.reply_read_context = "read failed"}, reported), S_OK);
  EXPECT_EQ(run_.console.Output().rfind("(0x80004005) : ", 0), 0u);
}

TEST_F(StatusPollerTest, AReplyWhoseReadFailedIsTakenFromOneMoreStatusReadWithoutAnInterrupt) {
  // One interrupt announces the reply; its first read fails and it stays queued. The second
  // status read comes at once; waiting for another interrupt would end in the poll limit.
  const PollRules rules{.wait_limit_ms = 50, .poll_limit = 1, .poll_limit_context = "gave up"};
  channel_.RaiseInterrupt();
  channel_.ExpectStatus({13})
      .ExpectGet(14, XuPacket{}, E_FAIL)
      .ExpectStatus({13})
      .ExpectGet(14, ReplyOf(13));
  AwaitOpcode taken(13);
  EXPECT_EQ(Poll(rules, taken), S_OK);
  EXPECT_TRUE(channel_.ScriptDone());

  // Only once per interrupt: a reply that cannot be read again waits for the next one.
  channel_.RaiseInterrupt();
  channel_.ExpectStatus({13})
      .ExpectGet(14, XuPacket{}, E_FAIL)
      .ExpectStatus({13})
      .ExpectGet(14, XuPacket{}, E_FAIL);
  AwaitOpcode unreadable(13);
  EXPECT_EQ(Poll(rules, unreadable), kHrTimeout);
  EXPECT_TRUE(channel_.ScriptDone());
  EXPECT_TRUE(unreadable.seen.empty());
}

TEST_F(StatusPollerTest, OnePassReturnsTheLastReadWhenTheAwaitedReplyIsAbsent) {
  channel_.RaiseInterrupt();
  channel_.ExpectStatus({});
  AwaitOpcode empty(4);
  EXPECT_EQ(Poll(PollRules{.one_pass = true}, empty), S_OK);

  channel_.RaiseInterrupt();
  channel_.ExpectStatus({10}).ExpectGet(11, XuPacket{}, E_FAIL);
  AwaitOpcode failed(4);
  EXPECT_EQ(Poll(PollRules{.one_pass = true}, failed), E_FAIL);
}

TEST_F(StatusPollerTest, AStopRequestedAfterTheWaitEndsTheLoopBeforeAnyRead) {
  class StopAfterWait final : public ReplyJudge {
   public:
    ReplyVerdict Judge(const XuPacket&, HRESULT) override { return ReplyVerdict::Drop(); }
    HRESULT AfterWait() override { return kHrDataError; }
  } judge;
  channel_.RaiseInterrupt();
  EXPECT_EQ(Poll(PollRules{}, judge), kHrDataError);
  EXPECT_TRUE(channel_.Log().empty());
}

}  // namespace
}  // namespace hx
