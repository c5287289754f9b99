// hx7300-emulator against clients that do not play fair: one that floods the device with
// requests and never reads a reply, one that comes while another is served, one that connects
// and says nothing, and the utility against a server that has stopped taking connections.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "device/backends.h"
#include "platform/stream_socket.h"
#include "protocol/link_frames.h"
#include "protocol/opcodes.h"
#include "support/held_server.h"
#include "support/process_runner.h"
#include "support/programs.h"
#include "support/pty_session.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const HRESULT kBusy = static_cast<HRESULT>(0x800700AAu);
const HRESULT kStall = static_cast<HRESULT>(0x8007001Fu);

test::ProcessResult ReadDaa(const std::string& device) {
  return test::RunProcess({.argv = {test::HxBinary(), "-m:daa", "-r"},
                           .set_environment = {{"HX7300_DEVICE", device}},
                           .timeout = 10s});
}

bool PrintedTheSettings(const test::ProcessResult& result) {
  return result.exit_status == 0 &&
         result.stdout_bytes.starts_with("\r\n********  Current DAA Settings in PDB");
}

// A client that sends DAA requests as fast as the link takes them and never reads a reply.
class FloodingClient {
 public:
  explicit FloodingClient(const std::string& socket_path) {
    EXPECT_EQ(socket_.ConnectUnix(socket_path), S_OK);
    link::DeviceFrameBytes greeting{};
    EXPECT_EQ(socket_.ReceiveExact(greeting, 5s), S_OK);
  }

  // Sends count requests while a second thread drains what the device sends back; the
  // results of the requests, in order.
  std::vector<HRESULT> Send(int count) {
    std::vector<HRESULT> results;
    std::thread drain([&] {
      link::DeviceFrameBytes bytes{};
      while (static_cast<int>(results.size()) < count &&
             SUCCEEDED(socket_.ReceiveExact(bytes, 5s))) {
        link::DeviceFrame frame;
        if (link::DecodeDeviceFrame(bytes, frame) == link::FrameError::kNone &&
            frame.kind == link::DeviceFrameKind::kSetDone) {
          results.push_back(frame.result);
        }
      }
    });
    XuPacket request;
    request.SetLength(1);
    request.SetOpcode(XU_OPCODE_VDSP_RESPONSE);
    request.SetArg0(1);
    request.SetDspRequest(1);
    std::vector<std::uint8_t> burst;
    for (int i = 0; i < count; ++i) {
      const auto frame = link::EncodeRequest(
          {link::RequestKind::kSet, SelectorFor(XU_OPCODE_VDSP_RESPONSE), ++tag_, request});
      burst.insert(burst.end(), frame.begin(), frame.end());
    }
    EXPECT_EQ(socket_.SendAll(burst), S_OK);
    drain.join();
    return results;
  }

 private:
  StreamSocket socket_;
  std::uint32_t tag_ = 0;
};

TEST(EmulatorRobustness, AFloodingClientIsStalledAndLeavesNothingForTheNext) {
  test::TempDir dir;
  test::EmulatorProcess emulator(test::EmulatorBinary(),
                                 {"--state-dir", (dir.Path() / "slots").string()});
  ASSERT_TRUE(emulator.Started());

  constexpr int kRequests = 30000;
  {
    FloodingClient flooder(emulator.SocketPath());
    // The device keeps as many unread replies as one status packet lists, then stalls.
    const std::vector<HRESULT> first = flooder.Send(kRequests);
    ASSERT_EQ(first.size(), static_cast<std::size_t>(kRequests));
    EXPECT_EQ(std::count(first.begin(), first.begin() + 48, S_OK), 48);
    EXPECT_EQ(std::count(first.begin() + 48, first.end(), kStall), kRequests - 48);
    // Kept, the second burst's replies would take well over a megabyte.
    const long resident = test::MemoryKib(emulator.Pid(), "VmRSS");
    const std::vector<HRESULT> second = flooder.Send(kRequests);
    EXPECT_EQ(std::count(second.begin(), second.end(), kStall), kRequests);
    EXPECT_LT(test::MemoryKib(emulator.Pid(), "VmRSS") - resident, 512);
  }
  // What the flooder left unread went with it: the next client has the whole queue.
  const std::vector<HRESULT> next = FloodingClient(emulator.SocketPath()).Send(49);
  EXPECT_EQ(std::count(next.begin(), next.end(), S_OK), 48);

  // An honest upload and a DAA read both go through.
  const auto image = test::PatternBytes(3000, 2);
  const auto image_path = dir.Write("config.xml", image);
  test::PtySession session({test::HxBinary(), "-m:img", "-i:config", "-f:" + image_path.string()},
                           {{"HX7300_DEVICE", emulator.Address()}});
  ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
  ASSERT_TRUE(session.WaitForEcho(false));
  session.Type("1234\r");
  EXPECT_EQ(session.Finish(10s), 0) << session.Output();
  EXPECT_EQ(test::ReadBytes(dir.Path() / "slots" / "QVCONFIG.XML"), image);
  EXPECT_TRUE(PrintedTheSettings(ReadDaa(emulator.Address())));
  EXPECT_EQ(emulator.Stop(), 0);
}

TEST(EmulatorRobustness, ASecondClientIsToldAtOnceThatTheDeviceIsBusy) {
  test::EmulatorProcess emulator(test::EmulatorBinary());
  ASSERT_TRUE(emulator.Started());
  CAutoResetEvent event;
  auto first = MakeLinkChannel({LinkAddress::Kind::kUnix, emulator.SocketPath(), "", 0});
  ASSERT_EQ(first->Open(event), S_OK);

  const auto start = Clock::now();
  const test::ProcessResult refused = ReadDaa(emulator.Address());
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_EQ(refused.stdout_bytes, test::ReportLine(kBusy));
  EXPECT_EQ(refused.exit_status, 0xAA);

  // The first client is still served, and once it has gone the next one is too.
  XuPacket status;
  EXPECT_EQ(first->Get(kStatusSelector, status.Bytes()), S_OK);
  first->Close();
  EXPECT_TRUE(PrintedTheSettings(ReadDaa(emulator.Address())));
  EXPECT_EQ(emulator.Stop(), 0);
}

TEST(EmulatorRobustness, AClientThatSendsNothingIsClosedAndTheDeviceFreedForTheNext) {
  test::EmulatorProcess emulator(test::EmulatorBinary(), {"--idle-timeout", "1"});
  ASSERT_TRUE(emulator.Started());
  StreamSocket silent;
  ASSERT_EQ(silent.ConnectUnix(emulator.SocketPath()), S_OK);
  link::DeviceFrameBytes hello{};
  ASSERT_EQ(silent.ReceiveExact(hello, 5s), S_OK);
  const auto start = Clock::now();
  std::array<std::uint8_t, 1> byte{};
  EXPECT_EQ(silent.ReceiveExact(byte, 5s), kHrEndOfFile);
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_EQ(emulator.StandardError(),
            "hx7300-emulator: closed a client that sent nothing for 1 s\n");
  EXPECT_TRUE(PrintedTheSettings(ReadDaa(emulator.Address())));
  EXPECT_EQ(emulator.Stop(), 0);
}

TEST(EmulatorRobustness, AServerWithAFullBacklogFailsTheUtilityWithinSixSeconds) {
  // Both kinds at once: each proves the same five-second limit.
  test::HeldServer unix_server(test::HeldServer::Kind::kUnix);
  test::HeldServer tcp_server(test::HeldServer::Kind::kTcp);
  ASSERT_TRUE(unix_server.Held());
  ASSERT_TRUE(tcp_server.Held());
  const auto start = Clock::now();
  auto over_unix = std::async(std::launch::async, [&] { return ReadDaa(unix_server.Address()); });
  auto over_tcp = std::async(std::launch::async, [&] { return ReadDaa(tcp_server.Address()); });
  for (auto* run : {&over_unix, &over_tcp}) {
    const test::ProcessResult result = run->get();
    EXPECT_FALSE(result.timed_out);
    EXPECT_EQ(result.stdout_bytes, test::ReportLine(static_cast<HRESULT>(0x8007048Fu)));
    EXPECT_EQ(result.exit_status, 0x8F);
  }
  EXPECT_LT(Clock::now() - start, 6s);
}

}  // namespace
}  // namespace hx
