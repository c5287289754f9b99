#include "device/link/link_channel.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>

#include "platform/stream_socket.h"
#include "protocol/link_frames.h"

namespace hx {
namespace {

using namespace std::chrono_literals;
constexpr LinkTimeouts kShortTimeouts{500ms, 500ms, 500ms};
const HRESULT kStall = static_cast<HRESULT>(0x8007001Fu);

// A device on the other end of the link that follows a script written in the test.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::function<void(StreamSocket&)> script) {
    // TCP on the loopback works alike on every platform; Winsock may lack Unix sockets.
    EXPECT_EQ(listener_.ListenTcp("127.0.0.1", 0), S_OK);
    thread_ = std::thread([this, script = std::move(script)] {
      StreamSocket client;
      if (SUCCEEDED(listener_.Accept(client, [] { return false; }))) {
        script(client);
      }
    });
  }
  ~ScriptedServer() { Join(); }
  /// Waits for the script to end; what it recorded may be read from then on.
  void Join() {
    if (thread_.joinable()) {
      thread_.join();
    }
    listener_.Close();
  }
  LinkAddress Address() const {
    return {LinkAddress::Kind::kTcp, "", "127.0.0.1", listener_.Port()};
  }

 private:
  ListeningSocket listener_;
  std::thread thread_;
};

void Send(StreamSocket& socket, const link::DeviceFrame& frame) {
  EXPECT_EQ(socket.SendAll(link::EncodeDeviceFrame(frame)), S_OK);
}

void SendHello(StreamSocket& socket) {
  Send(socket, link::MakeHello("\\\\?\\usb#vid_f0c5&pid_e1a7&mi_03#6&1"));
}

link::RequestFrame Receive(StreamSocket& socket) {
  link::RequestFrameBytes bytes{};
  link::RequestFrame frame;
  EXPECT_EQ(socket.ReceiveExact(bytes, 5s), S_OK);
  EXPECT_EQ(link::DecodeRequest(bytes, frame), link::FrameError::kNone);
  return frame;
}

link::DeviceFrame DoneFor(const link::RequestFrame& request, HRESULT result = S_OK) {
  link::DeviceFrame done;
  done.kind = request.kind == link::RequestKind::kSet ? link::DeviceFrameKind::kSetDone
                                                      : link::DeviceFrameKind::kGetDone;
  done.selector = request.selector;
  done.tag = request.tag;
  done.result = result;
  return done;
}

bool Signalled(CAutoResetEvent& event, std::uint32_t ms = 0) {
  return event.Wait(ms).outcome == WaitOutcome::kSignalled;
}

TEST(LinkChannel, DoneFramesFindTheirRequestsInAnyOrderWithInterruptsBetween) {
  std::promise<void> checked;
  auto checked_future = checked.get_future();
  std::vector<link::RequestFrame> seen;
  ScriptedServer server([&](StreamSocket& socket) {
    SendHello(socket);
    seen = {Receive(socket), Receive(socket)};
    const auto& get = seen[0].kind == link::RequestKind::kGet ? seen[0] : seen[1];
    const auto& set = seen[0].kind == link::RequestKind::kSet ? seen[0] : seen[1];
    Send(socket, link::MakeInterrupt());
    link::DeviceFrame get_done = DoneFor(get);
    get_done.data.SetByte(4, 15);
    Send(socket, get_done);
    Send(socket, link::MakeInterrupt());
    Send(socket, DoneFor(set, kStall));
    checked_future.wait();
  });
  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  auto channel = MakeLinkChannel(server.Address(), kShortTimeouts);
  ASSERT_EQ(channel->Open(event), S_OK);

  XuPacket request;
  request.SetOpcode(15);
  request.SetDspRequest(1);
  HRESULT set_result = S_OK;
  std::thread writer([&] { set_result = channel->Set(16, request.Bytes()); });
  XuPacket status;
  status.Bytes()[0] = 0xEE;
  const HRESULT get_result = channel->Get(1, status.Bytes());
  writer.join();

  EXPECT_EQ(get_result, S_OK);
  EXPECT_EQ(status.Byte(4), 15);
  EXPECT_EQ(status.Byte(0), 0);
  EXPECT_EQ(set_result, kStall);
  EXPECT_TRUE(Signalled(event));
  EXPECT_FALSE(Signalled(event));  // two interrupts while nobody waited are held as one
  checked.set_value();
  channel->Close();
  server.Join();

  ASSERT_EQ(seen.size(), 2u);
  EXPECT_NE(seen[0].tag, seen[1].tag);
  for (const auto& frame : seen) {
    if (frame.kind == link::RequestKind::kSet) {
      EXPECT_EQ(frame.selector, 16);
      EXPECT_EQ(frame.data, request);
    } else {
      EXPECT_EQ(frame.selector, 1);
      EXPECT_EQ(frame.data, XuPacket());
    }
  }
}

// Every way the link can break mid-request fails that request and every later one with
// 0x8007048F and signals the status event exactly once.
void ExpectBreak(const std::function<void(StreamSocket&, const link::RequestFrame&)>& misstep) {
  std::promise<void> checked;
  auto checked_future = checked.get_future();
  ScriptedServer server([&](StreamSocket& socket) {
    SendHello(socket);
    misstep(socket, Receive(socket));
    checked_future.wait();
  });
  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  auto channel = MakeLinkChannel(server.Address(), kShortTimeouts);
  ASSERT_EQ(channel->Open(event), S_OK);
  XuPacket packet;
  EXPECT_EQ(channel->Get(1, packet.Bytes()), kHrDeviceNotConnected);
  EXPECT_TRUE(Signalled(event, 1000));
  EXPECT_EQ(channel->Set(16, packet.Bytes()), kHrDeviceNotConnected);
  EXPECT_FALSE(Signalled(event));
  checked.set_value();
  channel->Close();
}

TEST(LinkChannel, MalformedFramesAndAVanishedServerBreakTheLink) {
  ExpectBreak([](StreamSocket& socket, const link::RequestFrame& request) {
    auto bytes = link::EncodeDeviceFrame(DoneFor(request));
    bytes[0] = 0x84;
    socket.SendAll(bytes);
  });
  ExpectBreak([](StreamSocket& socket, const link::RequestFrame& request) {
    auto bytes = link::EncodeDeviceFrame(DoneFor(request));
    bytes[2] = 48;
    socket.SendAll(bytes);
  });
  ExpectBreak([](StreamSocket& socket, const link::RequestFrame& request) {
    link::DeviceFrame done = DoneFor(request);
    done.tag += 1000;
    Send(socket, done);
  });
  ExpectBreak([](StreamSocket& socket, const link::RequestFrame& request) {
    link::DeviceFrame done = DoneFor(request);
    done.kind = link::DeviceFrameKind::kSetDone;  // a GET answered as a SET
    Send(socket, done);
  });
  ExpectBreak([](StreamSocket& socket, const link::RequestFrame&) { socket.Close(); });
}

TEST(LinkChannel, AServerThatStopsAnsweringTimesOutAndBreaksTheLink) {
  std::promise<void> checked;
  auto checked_future = checked.get_future();
  ScriptedServer server([&](StreamSocket& socket) {
    SendHello(socket);
    Receive(socket);
    checked_future.wait();
  });
  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  auto channel = MakeLinkChannel(server.Address(), kShortTimeouts);
  ASSERT_EQ(channel->Open(event), S_OK);
  XuPacket packet;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(channel->Get(1, packet.Bytes()), kHrTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 500ms);
  EXPECT_TRUE(Signalled(event));
  EXPECT_EQ(channel->Get(1, packet.Bytes()), kHrDeviceNotConnected);
  checked.set_value();
  channel->Close();
}

HRESULT OpenAgainst(std::function<void(StreamSocket&)> script) {
  ScriptedServer server(std::move(script));
  CAutoResetEvent event;
  EXPECT_EQ(event.Create(), S_OK);
  auto channel = MakeLinkChannel(server.Address(), kShortTimeouts);
  const HRESULT hr = channel->Open(event);
  channel->Close();
  return hr;
}

TEST(LinkChannel, OpenNeedsAnHx7300ThatGreetsInTime) {
  EXPECT_EQ(OpenAgainst([](StreamSocket& s) { Send(s, link::MakeHello("usb#vid_f0c5&pid_0001")); }),
            E_FAIL);
  EXPECT_EQ(
      OpenAgainst([](StreamSocket& s) { Send(s, link::MakeHello("usb#VID_F0C5&PID_E1A7&MI_03")); }),
      E_FAIL);
  EXPECT_EQ(OpenAgainst([](StreamSocket& s) { Send(s, link::MakeInterrupt()); }),
            kHrDeviceNotConnected);
  EXPECT_EQ(OpenAgainst([](StreamSocket& s) {
              link::DeviceFrameBytes bytes{};
              s.ReceiveExact(bytes, 2s);  // says nothing until the client gives up
            }),
            kHrDeviceNotConnected);

  CAutoResetEvent event;
  ASSERT_EQ(event.Create(), S_OK);
  const LinkAddress nowhere{LinkAddress::Kind::kUnix, "/nonexistent/hx7300.sock", "", 0};
  EXPECT_EQ(MakeLinkChannel(nowhere)->Open(event), kHrDeviceNotConnected);
  ListeningSocket closed_port;
  ASSERT_EQ(closed_port.ListenTcp("127.0.0.1", 0), S_OK);
  const LinkAddress refused{LinkAddress::Kind::kTcp, "", "127.0.0.1", closed_port.Port()};
  closed_port.Close();
  EXPECT_EQ(MakeLinkChannel(refused)->Open(event), kHrDeviceNotConnected);
}

TEST(LinkChannel, AGreetingWithAFailureRefusesTheClientWithThatResult) {
  EXPECT_EQ(OpenAgainst([](StreamSocket& s) {
              link::DeviceFrame busy = link::MakeHello("usb#vid_f0c5&pid_e1a7&mi_03#1");
              busy.result = link::kHrDeviceBusy;
              Send(s, busy);
            }),
            static_cast<HRESULT>(0x800700AAu));
}

}  // namespace
}  // namespace hx
