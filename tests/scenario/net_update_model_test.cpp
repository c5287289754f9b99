// The virtual HX7300 while its network update runs on a thread of its own: a second update is
// refused as busy, and a host that leaves ends the update, its download included, at once.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "model/firmware_model.h"
#include "protocol/net_image_steps.h"
#include "protocol/opcodes.h"
#include "support/device_pieces.h"
#include "support/firmware_host.h"
#include "support/http_test_server.h"

namespace hx {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kNetSelector = SelectorFor(XU_OPCODE_IMGUPD_NET_INFO);

// The host's side, reading each reply once the device lists it.
class UpdateHost {
 public:
  explicit UpdateHost(emu::FirmwareModel& model) : model_(model) {}

  XuPacket Next(std::uint8_t selector = kNetSelector) {
    for (const auto give_up = Clock::now() + 10s; Clock::now() < give_up;) {
      XuPacket status;
      EXPECT_EQ(model_.HandleGet(kStatusSelector, status.Bytes()), S_OK);
      if (status.Byte(0) != 0) {
        XuPacket reply;
        EXPECT_EQ(model_.HandleGet(selector, reply.Bytes()), S_OK);
        return reply;
      }
      std::this_thread::sleep_for(1ms);
    }
    ADD_FAILURE() << "no reply came";
    return {};
  }

  // Authorises the update and gives server, URL and port; true when each was accepted.
  bool Configure(std::uint16_t port) {
    model_.HandleSet(SelectorFor(XU_OPCODE_SYSTEM_CONFIG),
                     test::PasscodeRequest(2, "1234", XU_OPCODE_IMGUPD_NET_INFO).Bytes());
    bool accepted = Next(SelectorFor(XU_OPCODE_SYSTEM_CONFIG)).Status() == 0;
    for (const XuPacket& step : {test::NetUpdateStep(NETIMG_STEP_SERVER, "127.0.0.1"),
                                 test::NetUpdateStep(NETIMG_STEP_URL, "m.txt"),
                                 test::NetUpdateStep(NETIMG_STEP_PORT, "", port)}) {
      model_.HandleSet(kNetSelector, step.Bytes());
      accepted = Next().Status() == 0 && accepted;
    }
    return accepted;
  }

 private:
  emu::FirmwareModel& model_;
};

TEST(NetUpdateModel, UpdateInProgressRefusesAnotherAndEndsWithItsHost) {
  test::HttpTestServer server({});
  ASSERT_TRUE(server.Started());
  server.Hold("/m.txt");
  emu::FirmwareModel model({}, test::EmulatorPieces());
  UpdateHost host(model);
  ASSERT_TRUE(host.Configure(server.Port()));
  model.HandleSet(kNetSelector, test::NetUpdateStep(NETIMG_STEP_START).Bytes());
  for (const std::uint8_t stage :
       {NETIMG_STAGE_INITIALIZING, NETIMG_STAGE_STARTING, NETIMG_STAGE_BUILDING_MANIFEST}) {
    const XuPacket reply = host.Next();
    EXPECT_EQ(reply.ReplyStep(), stage);
    EXPECT_EQ(reply.Status(), 0);
  }
  // The manifest's request waits on the server, unanswered.
  for (const auto give_up = Clock::now() + 10s;
       server.Requests().empty() && Clock::now() < give_up;) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(server.Requests().size(), 1u);
  model.HandleSet(kNetSelector, test::NetUpdateStep(NETIMG_STEP_SERVER, "other").Bytes());
  const XuPacket busy = host.Next();
  EXPECT_EQ(busy.ReplyStep(), NETIMG_STEP_SERVER);
  EXPECT_EQ(busy.Status(), static_cast<std::int32_t>(0x800700AA));

  const auto left = Clock::now();
  model.ConnectionEnded();
  EXPECT_LT(Clock::now() - left, 3s);
  // Nothing of the update outlives its host: the next one is served afresh.
  XuPacket status;
  model.HandleGet(kStatusSelector, status.Bytes());
  EXPECT_EQ(status.Byte(0), 0);
  EXPECT_TRUE(host.Configure(server.Port()));
  model.HandleSet(kNetSelector, test::NetUpdateStep(NETIMG_STEP_FINAL).Bytes());
}

}  // namespace
}  // namespace hx
