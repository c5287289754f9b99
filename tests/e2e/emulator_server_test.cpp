#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "device/backends.h"
#include "platform/stream_socket.h"
#include "protocol/link_frames.h"
#include "protocol/opcodes.h"
#include "support/environment.h"
#include "support/firmware_host.h"
#include "support/process_runner.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using namespace std::chrono_literals;

const std::string kEmulator = std::string(HX7300_BINARY_DIR) + "/hx7300-emulator";

// One connection to a running emulator.
struct Connection {
  explicit Connection(const LinkAddress& address) : channel(MakeLinkChannel(address)) {
    opened = channel->Open(event);
  }
  explicit Connection(const test::EmulatorProcess& emulator)
      : Connection(LinkAddress{LinkAddress::Kind::kUnix, emulator.SocketPath(), "", 0}) {}
  HRESULT RequestDaa() {
    XuPacket request;
    request.SetLength(1);
    request.SetOpcode(15);
    request.SetArg0(1);
    request.SetDspRequest(1);
    return channel->Set(16, request.Bytes());
  }
  XuPacket Read(std::uint8_t selector, HRESULT expected = S_OK) {
    XuPacket packet;
    EXPECT_EQ(channel->Get(selector, packet.Bytes()), expected);
    return packet;
  }
  // Writes every packet, then reads the replies they raised: their opcodes and Status.
  std::vector<std::pair<int, std::int32_t>> Exchange(const std::vector<XuPacket>& packets) {
    for (const XuPacket& packet : packets) {
      EXPECT_EQ(channel->Set(SelectorFor(packet.Opcode()), packet.Bytes()), S_OK);
    }
    const XuPacket status = Read(kStatusSelector);
    std::vector<std::pair<int, std::int32_t>> replies;
    for (std::size_t i = 0; i < status.Length(); ++i) {
      const XuPacket reply = Read(SelectorFor(status.Payload()[i]));
      replies.emplace_back(reply.Opcode(), reply.Status());
    }
    return replies;
  }
  CAutoResetEvent event;
  std::unique_ptr<XuChannel> channel;
  HRESULT opened;
};

// Uploads image as the configuration file over a connection of its own.
void UploadConfiguration(const test::EmulatorProcess& emulator,
                         const std::vector<std::uint8_t>& image) {
  Connection link(emulator);
  ASSERT_EQ(link.opened, S_OK);
  std::vector<XuPacket> exchange{test::PasscodeRequest(2, "1234", XU_OPCODE_IMGUPD_INFO)};
  const auto packets = test::UploadPackets(kConfigImageIndex, image);
  exchange.insert(exchange.end(), packets.begin(), packets.end());
  link.Exchange(exchange);
  link.channel->Close();
}

TEST(EmulatorServer, KeepsTheDeviceStateAcrossConnectionsAndStopsOnTermination) {
  test::EmulatorProcess emulator(kEmulator, {"--daa", "group=9,low-mag=0x1234"});
  ASSERT_TRUE(emulator.Started());
  EXPECT_EQ(emulator.ListeningLine(), "hx7300-emulator listening on " + emulator.Address() + "\n");
  {
    Connection first(emulator);
    ASSERT_EQ(first.opened, S_OK);
    ASSERT_EQ(first.RequestDaa(), S_OK);
    EXPECT_EQ(first.event.Wait(5000).outcome, WaitOutcome::kSignalled);
    first.channel->Close();
  }
  // The first connection's unread reply went with it; the device itself is as it was.
  Connection second(emulator);
  ASSERT_EQ(second.opened, S_OK);
  EXPECT_EQ(second.Read(1).Byte(0), 0);
  ASSERT_EQ(second.RequestDaa(), S_OK);
  const XuPacket status = second.Read(1);
  EXPECT_EQ(status.Byte(0), 1);
  EXPECT_EQ(status.Byte(4), 15);
  const XuPacket reply = second.Read(16);
  EXPECT_EQ(reply.Byte(4), 5);
  EXPECT_EQ(reply.Byte(6), 9);
  EXPECT_EQ(reply.U16(16), 0x1234);
  second.channel->Close();

  EXPECT_TRUE(std::filesystem::exists(emulator.SocketPath()));
  EXPECT_EQ(emulator.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(emulator.SocketPath()));
}

TEST(EmulatorServer, KeepsSlotsInTheStateDirectoryButAuthorisesPerConnection) {
  test::TempDir state;
  test::EmulatorProcess emulator(kEmulator,
                                 {"--passcode", "77", "--state-dir", state.Path().string()});
  ASSERT_TRUE(emulator.Started());
  const auto image = test::PatternBytes(100);
  auto packets = test::UploadPackets(kConfigImageIndex, image);
  {
    Connection first(emulator);
    ASSERT_EQ(first.opened, S_OK);
    std::vector<XuPacket> exchange{test::PasscodeRequest(2, "77", XU_OPCODE_IMGUPD_INFO)};
    exchange.insert(exchange.end(), packets.begin(), packets.end());
    EXPECT_EQ(first.Exchange(exchange),
              (std::vector<std::pair<int, std::int32_t>>{{13, 0}, {5, 0}, {7, 0}, {7, 0}}));
    first.channel->Close();
  }
  EXPECT_EQ(test::ReadBytes(state.Path() / "QVCONFIG.XML"), image);
  EXPECT_FALSE(std::filesystem::exists(state.Path() / "QVCONFIG.TMP"));

  Connection second(emulator);
  ASSERT_EQ(second.opened, S_OK);
  EXPECT_EQ(
      second.Exchange({packets.front()}),
      (std::vector<std::pair<int, std::int32_t>>{{5, static_cast<std::int32_t>(0x80070005u)}}));
  second.channel->Close();
  EXPECT_EQ(emulator.Stop(), 0);
}

TEST(EmulatorServer, WithoutAStateDirectoryItKeepsSlotsInAPrivateOneRemovedWhenItEnds) {
  test::TempDir temporary;
  const std::string saved = std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "";
  ::setenv("TMPDIR", temporary.Path().c_str(), 1);
  test::EmulatorProcess emulator(kEmulator);
  saved.empty() ? ::unsetenv("TMPDIR") : ::setenv("TMPDIR", saved.c_str(), 1);
  ASSERT_TRUE(emulator.Started());
  std::filesystem::path state;
  for (const auto& entry : std::filesystem::directory_iterator(temporary.Path())) {
    if (entry.path().filename().string().starts_with("hx7300-emulator-")) {
      state = entry.path();
    }
  }
  ASSERT_FALSE(state.empty());
  EXPECT_EQ(std::filesystem::status(state).permissions(), std::filesystem::perms::owner_all);
  const auto image = test::PatternBytes(100);
  UploadConfiguration(emulator, image);
  EXPECT_EQ(test::ReadBytes(state / "QVCONFIG.XML"), image);
  EXPECT_EQ(emulator.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(state));
}

TEST(EmulatorServer, ARebootClosesTheLinkAndTheResetDeviceServesTheNextClient) {
  test::EmulatorProcess emulator(kEmulator);
  ASSERT_TRUE(emulator.Started());
  XuPacket reboot;
  reboot.SetLength(40);
  reboot.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
  reboot.SetArg0(1);
  reboot.SetArg1(1);
  reboot.SetConfigCommand(2);
  {
    Connection first(emulator);
    ASSERT_EQ(first.opened, S_OK);
    ASSERT_EQ(first.Exchange({test::PasscodeRequest(2, "1234", XU_OPCODE_SYSTEM_CONFIG)}),
              (std::vector<std::pair<int, std::int32_t>>{{13, 0}}));
    // The request is taken, then the device resets: the link closes under the client.
    EXPECT_EQ(first.channel->Set(14, reboot.Bytes()), S_OK);
    EXPECT_EQ(first.event.Wait(5000).outcome, WaitOutcome::kSignalled);
    first.Read(1, kHrDeviceNotConnected);
    first.channel->Close();
  }
  // The next client finds the device up again, and not authorised for anything.
  Connection second(emulator);
  ASSERT_EQ(second.opened, S_OK);
  EXPECT_EQ(
      second.Exchange({reboot}),
      (std::vector<std::pair<int, std::int32_t>>{{13, static_cast<std::int32_t>(0x80070005u)}}));
  second.channel->Close();
}

TEST(EmulatorServer, ServesTcpOnTheChosenPortWithItsFaults) {
  test::EmulatorProcess emulator(
      kEmulator, {"--listen", "tcp:127.0.0.1:0", "--fault", "fail-get=1:0x8007001F:1", "--fault",
                  "disconnect-after=3"});
  ASSERT_TRUE(emulator.Started());
  const std::string line = emulator.ListeningLine();
  const std::string prefix = "hx7300-emulator listening on tcp:127.0.0.1:";
  ASSERT_TRUE(line.starts_with(prefix)) << line;
  const int port = std::stoi(line.substr(prefix.size()));
  ASSERT_GT(port, 0);

  Connection link(
      LinkAddress{LinkAddress::Kind::kTcp, "", "127.0.0.1", static_cast<std::uint16_t>(port)});
  ASSERT_EQ(link.opened, S_OK);
  link.Read(1, static_cast<HRESULT>(0x8007001Fu));
  link.Read(1);
  link.Read(1);
  // The device drops the link after its third transfer.
  EXPECT_EQ(link.event.Wait(5000).outcome, WaitOutcome::kSignalled);
  link.Read(1, kHrDeviceNotConnected);
  link.channel->Close();
  EXPECT_EQ(emulator.Stop(), 0);
}

TEST(EmulatorServer, DropsAClientThatSendsAMalformedFrameAndServesTheNext) {
  test::EmulatorProcess emulator(kEmulator, {"--device-path", "usb#vid_f0c5&pid_e1a7&mi_03#9"});
  ASSERT_TRUE(emulator.Started());
  StreamSocket raw;
  ASSERT_EQ(raw.ConnectUnix(emulator.SocketPath()), S_OK);
  link::DeviceFrameBytes hello_bytes{};
  ASSERT_EQ(raw.ReceiveExact(hello_bytes, std::chrono::seconds(5)), S_OK);
  link::DeviceFrame hello;
  ASSERT_EQ(link::DecodeDeviceFrame(hello_bytes, hello), link::FrameError::kNone);
  EXPECT_EQ(hello.kind, link::DeviceFrameKind::kHello);
  EXPECT_EQ(link::HelloPath(hello), "usb#vid_f0c5&pid_e1a7&mi_03#9");

  link::RequestFrameBytes bad = link::EncodeRequest({});
  bad[2] = 51;
  ASSERT_EQ(raw.SendAll(bad), S_OK);
  link::DeviceFrameBytes after{};
  EXPECT_EQ(raw.ReceiveExact(after, std::chrono::seconds(5)), kHrEndOfFile);
  raw.Close();

  Connection next(emulator);
  EXPECT_EQ(next.opened, S_OK);
  next.Read(1);
  next.channel->Close();

  test::EmulatorProcess stranger(kEmulator, {"--device-path", "usb#vid_f0c5&pid_e1a8&mi_03"});
  ASSERT_TRUE(stranger.Started());
  EXPECT_EQ(Connection(stranger).opened, E_FAIL);
}

TEST(EmulatorServer, StateDirectoryThatCannotBeUsedSafelyIsRefusedAtStart) {
  test::TempDir dir;
  const auto file = dir.Write("not-a-directory", {1});
  std::filesystem::create_directories(dir.Path() / "slots" / "NK.TMP");
  const std::string listen = "unix:" + (dir.Path() / "device.sock").string();
  for (const auto& [state_dir, message] :
       {std::pair{file.string(), "--state-dir " + file.string() + " is not a directory\n"},
        std::pair{(dir.Path() / "slots").string(),
                  "--state-dir " + (dir.Path() / "slots").string() +
                      " holds a directory named NK.TMP where a staging file belongs; remove it "
                      "or choose another directory\n"}}) {
    const test::ProcessResult refused = test::RunProcess(
        {.argv = {kEmulator, "--listen", listen, "--state-dir", state_dir}, .timeout = 3s});
    EXPECT_EQ(refused.exit_status, 2);
    EXPECT_EQ(refused.stderr_bytes, "hx7300-emulator: " + message);
    EXPECT_EQ(refused.stdout_bytes, "");
  }
}

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

TEST(EmulatorServer, OnlyAPasscodeThatARunCouldTypeIsTakenAtStart) {
  test::TempDir state;
  const std::vector<std::string> with_state{"--state-dir", state.Path().string()};
  const std::string untypeable =
      "holds a character that no run can type: a passcode is letters and digits that "
      "Windows-1252 has\n";
  const test::ProcessResult typed = test::RunProcess(
      {.argv = {kEmulator, "--listen", "unix:/tmp/x", "--passcode", "12 34"}, .timeout = 3s});
  EXPECT_EQ(typed.exit_status, 2);
  EXPECT_TRUE(typed.stderr_bytes.starts_with("hx7300-emulator: --passcode " + untypeable));
  state.Write("PASSCODE", Bytes("12 34\n"));
  const test::ProcessResult kept = test::RunProcess(
      {.argv = {kEmulator, "--listen", "unix:/tmp/x", with_state[0], with_state[1]},
       .timeout = 3s});
  EXPECT_EQ(kept.exit_status, 2);
  EXPECT_EQ(kept.stderr_bytes,
            "hx7300-emulator: --state-dir " + with_state[1] + ": its PASSCODE file " + untypeable);

  const std::vector<std::pair<int, std::int32_t>> accepted{{13, 0}};
  {
    // "Été" as a UTF-8 terminal gives it reaches the device as its Windows-1252 bytes.
    test::ScopedEnvironmentVariable utf8("LC_ALL", "C.UTF-8");
    test::EmulatorProcess emulator(kEmulator, {"--passcode", "\xC3\x89t\xC3\xA9"});
    EXPECT_EQ(Connection(emulator).Exchange({test::PasscodeRequest(2, "\xC9t\xE9", 13)}), accepted);
  }
  state.Write("PASSCODE", Bytes("5678\n"));  // as `echo 5678 > PASSCODE` writes it
  {
    test::EmulatorProcess emulator(kEmulator, with_state);
    Connection(emulator).Exchange(
        {test::PasscodeRequest(2, "5678", 13), test::PasscodeRequest(3, "N\xE9w2")});
  }
  // The file the device wrote itself is taken at the next start.
  test::EmulatorProcess restarted(kEmulator, with_state);
  EXPECT_EQ(Connection(restarted).Exchange({test::PasscodeRequest(2, "N\xE9w2", 13)}), accepted);
}

TEST(EmulatorServer, StaleStagingEntriesAreRemovedAtStartAndNeverWrittenThrough) {
  test::TempDir dir;
  test::TempDir outside;
  const auto victim = outside.Write("victim", {1, 2, 3});
  const auto slots = dir.Path() / "slots";
  std::filesystem::create_directories(slots);
  std::filesystem::create_symlink(victim, slots / "QVCONFIG.TMP");
  dir.Write("slots/SIG.TMP", {4, 5});
  test::EmulatorProcess emulator(kEmulator, {"--state-dir", slots.string()});
  ASSERT_TRUE(emulator.Started());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(slots / "QVCONFIG.TMP")));
  EXPECT_FALSE(std::filesystem::exists(slots / "SIG.TMP"));

  const auto image = test::PatternBytes(100);
  UploadConfiguration(emulator, image);
  EXPECT_EQ(test::ReadBytes(slots / "QVCONFIG.XML"), image);
  EXPECT_EQ(test::ReadBytes(victim), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(emulator.Stop(), 0);
}

TEST(EmulatorServer, ABusyPortIsReportedWithThePortAskedForAndTheSystemsText) {
  ListeningSocket taken;
  ASSERT_EQ(taken.ListenTcp("127.0.0.1", 0), S_OK);
  const std::string where = "tcp:127.0.0.1:" + std::to_string(taken.Port());
  const test::ProcessResult refused =
      test::RunProcess({.argv = {kEmulator, "--listen", where}, .timeout = 3s});
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_EQ(refused.stderr_bytes, "hx7300-emulator: cannot listen on " + where +
                                      ": The address is already in use: another server "
                                      "listens on it (0x80072740)\n");
}

TEST(EmulatorServer, AStaleSocketIsReplacedButALiveOneOrAFileIsLeftAlone) {
  test::TempDir dir;
  const std::string path = (dir.Path() / "device.sock").string();
  {
    // A socket file left behind, as a killed server leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
  }
  test::EmulatorProcess replacing(kEmulator, {}, path);
  ASSERT_TRUE(replacing.Started());
  EXPECT_EQ(Connection(replacing).opened, S_OK);

  const test::ProcessResult second =
      test::RunProcess({.argv = {kEmulator, "--listen", "unix:" + path}, .timeout = 3s});
  EXPECT_EQ(second.exit_status, 1);
  EXPECT_EQ(second.stderr_bytes, "hx7300-emulator: cannot listen on unix:" + path +
                                     ": The address is already in use: another server "
                                     "listens on it (0x80072740)\n");
  // The server that answers keeps its socket.
  EXPECT_EQ(Connection(replacing).opened, S_OK);
  EXPECT_EQ(replacing.Stop(), 0);

  const auto file = dir.Write("plain", {1});
  const test::ProcessResult on_a_file =
      test::RunProcess({.argv = {kEmulator, "--listen", "unix:" + file.string()}, .timeout = 3s});
  EXPECT_EQ(on_a_file.exit_status, 1);
  EXPECT_EQ(on_a_file.stderr_bytes, "hx7300-emulator: cannot listen on unix:" + file.string() +
                                        ": Something with that name is already present "
                                        "(0x800700B7)\n");
  EXPECT_EQ(test::ReadBytes(file), (std::vector<std::uint8_t>{1}));
}

TEST(EmulatorServer, HelpNamesEveryFaultApartFromTheOptionsAndBadOptionsAreRefused) {
  const test::ProcessResult version = test::RunProcess({.argv = {kEmulator, "--version"}});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.stdout_bytes, "hx7300-emulator " HX7300_VERSION "\n");
  const test::ProcessResult help = test::RunProcess({.argv = {kEmulator, "--help"}});
  EXPECT_EQ(help.exit_status, 0);
  const std::string& text = help.stdout_bytes;
  const std::size_t faults = text.find("\nFaults (NAME[=VALUE] for --fault):\n");
  ASSERT_NE(faults, std::string::npos) << text;
  for (const char* option : {"--listen", "--passcode", "--state-dir", "--device-path",
                             "--idle-timeout", "--daa", "--fault", "--version", "--help"}) {
    EXPECT_LT(text.find("  " + std::string(option) + " "), faults) << option;
  }
  EXPECT_LT(text.find("usbip:"), faults);
  for (const char* name :
       {"daa-bad-checksum",  "daa-other-records=",   "extra-replies=",  "no-interrupts",
        "drop-interrupts=",  "duplicate-interrupts", "device-message=", "fail-set=",
        "fail-get=",         "failure-status=",      "no-reply=",       "latency-us=",
        "disconnect-after=", "silent-after=",        "info-status=",    "echo-status=",
        "flush-status=",     "corrupt-after=",       "config-status=",  "config-arg1=",
        "config-command=",   "validation-result=",   "upload-status=",  "diag-server-reply"}) {
    EXPECT_GT(text.find(std::string("\n  ") + name), faults) << name;
  }
  // The state the device keeps, and where.
  for (const char* file : {"PASSCODE", "CLOCK.TXT", "LOGSERVER.TXT", "QVCONFIG.XML"}) {
    EXPECT_LT(text.find(file), faults) << file;
  }
  const test::ProcessResult bad =
      test::RunProcess({.argv = {kEmulator, "--listen", "unix:/tmp/x", "--fault", "melt"}});
  EXPECT_EQ(bad.exit_status, 2);
  EXPECT_TRUE(bad.stderr_bytes.starts_with("hx7300-emulator: bad fault 'melt'\n"));
  EXPECT_EQ(bad.stdout_bytes, "");
  EXPECT_EQ(
      test::RunProcess({.argv = {kEmulator, "--listen", "unix:/tmp/x", "--idle-timeout", "-1"}})
          .exit_status,
      2);
}

}  // namespace
}  // namespace hx
