// A server that never takes the connection (its backlog full) is given up within the connect
// limit. Holding a server that way takes POSIX sockets.
#include <gtest/gtest.h>

#include "device/link/link_channel.h"
#include "support/held_server.h"

namespace hx {
namespace {

using namespace std::chrono_literals;
constexpr LinkTimeouts kShortTimeouts{500ms, 500ms, 500ms};

TEST(LinkChannel, AServerThatTakesNoConnectionIsGivenUpWithinTheConnectLimit) {
  for (const auto kind : {test::HeldServer::Kind::kUnix, test::HeldServer::Kind::kTcp}) {
    test::HeldServer held(kind);
    ASSERT_TRUE(held.Held()) << held.Address();
    const LinkAddress address =
        kind == test::HeldServer::Kind::kUnix
            ? LinkAddress{LinkAddress::Kind::kUnix, held.SocketPath(), "", 0}
            : LinkAddress{LinkAddress::Kind::kTcp, "", "127.0.0.1", held.Port()};
    CAutoResetEvent event;
    auto channel = MakeLinkChannel(address, kShortTimeouts);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(channel->Open(event), kHrDeviceNotConnected) << held.Address();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms) << held.Address();
    channel->Close();
  }
}

}  // namespace
}  // namespace hx
