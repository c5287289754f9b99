// Every kind of request the utility writes, compared byte for byte with literal offsets. The
// other tests read packets back through the same accessors that build them, so a field moved
// in both would pass them; these do not use the accessors at all.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "operations/handlers.h"
#include "operations/image_update.h"
#include "operations/passcode.h"
#include "support/device_run.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using Wire = std::array<std::uint8_t, 52>;

// A packet that is zero except at the given offsets.
Wire Literal(std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes) {
  Wire wire{};
  for (const auto& [offset, value] : bytes) {
    wire.at(offset) = value;
  }
  return wire;
}

Wire WireOf(const test::Transfer& transfer) {
  Wire wire{};
  std::ranges::copy(transfer.packet.Bytes(), wire.begin());
  return wire;
}

// Copies file bytes [from, from + count) to the packet from offset 4 on.
void PutPayload(Wire& wire, const std::vector<std::uint8_t>& file, std::size_t from,
                std::size_t count, std::size_t at = 4) {
  for (std::size_t i = 0; i < count; ++i) {
    wire.at(at + i) = file.at(from + i);
  }
}

class RequestWireBytes : public ::testing::Test {
 protected:
  test::DeviceRun run_;
  test::ScriptedChannel& channel_ = run_.Script();
};

TEST_F(RequestWireBytes, PasscodeValidationAndChange) {
  for (const wchar_t* line : {L"1234", L"Ab9", L"Ab9"}) {
    run_.console.QueueHiddenLine(line);
  }
  channel_.ExpectPasscodeVerdict();
  channel_.ExpectPasscodeVerdict();
  ASSERT_EQ(run_.Run("ChangePasscode", ChangePasscode), S_OK);
  const auto log = channel_.Log();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0].selector, 14);
  EXPECT_EQ(
      WireOf(log[0]),
      Literal({{0, 4}, {1, 13}, {3, 2}, {8, 13}, {12, '1'}, {13, '2'}, {14, '3'}, {15, '4'}}));
  EXPECT_EQ(log[3].selector, 14);
  EXPECT_EQ(WireOf(log[3]), Literal({{0, 3}, {1, 13}, {3, 3}, {12, 'A'}, {13, 'b'}, {14, '9'}}));
}

TEST_F(RequestWireBytes, ImageInfoDataCommitAndFlush) {
  // Two blocks: 85 full packets, then one of 48 bytes and one of 2.
  const std::size_t size = 4080 + 50;
  const auto file = test::PatternBytes(size, 7);
  test::TempDir dir;
  const auto path = dir.Write("image.bin", file);
  channel_.AcceptUnscriptedSets();
  CImageUpdate update;
  ASSERT_EQ(update.Initialize(&run_.Device(), 4, path.wstring().c_str()), S_OK);
  ASSERT_EQ(update.SendXUInfo(), S_OK);
  ASSERT_EQ(update.SendBlock(), S_OK);
  ASSERT_EQ(update.SendBlock(), S_OK);
  ASSERT_EQ(update.SendFlush(), S_OK);
  const auto log = channel_.Log();
  ASSERT_EQ(log.size(), 1u + 86u + 3u + 1u);

  EXPECT_EQ(log[0].selector, 6);
  EXPECT_EQ(WireOf(log[0]), Literal({{0, 52}, {1, 5}, {2, 1}, {8, 4}, {12, 0x22}, {13, 0x10}}));

  Wire first_data = Literal({{0, 48}, {1, 6}});
  PutPayload(first_data, file, 0, 48);
  EXPECT_EQ(log[1].selector, 7);
  EXPECT_EQ(WireOf(log[1]), first_data);

  // The commit is written over the block's last data packet (sequence 84).
  Wire commit = Literal({{0, 48}, {1, 7}, {3, 84}, {9, 4}});
  constexpr std::size_t kLastOfBlock = std::size_t{84} * 48;
  PutPayload(commit, file, kLastOfBlock, 4);
  PutPayload(commit, file, kLastOfBlock + 8, 40, 12);
  EXPECT_EQ(log[86].selector, 8);
  EXPECT_EQ(WireOf(log[86]), commit);

  // The file's last packet: 2 bytes, the rest what the block's first packet left there.
  Wire last_data = Literal({{0, 2}, {1, 6}, {2, 1}, {3, 1}});
  PutPayload(last_data, file, 4080 + 48, 2);
  PutPayload(last_data, file, 4080 + 2, 46, 6);
  EXPECT_EQ(log[88].selector, 7);
  EXPECT_EQ(WireOf(log[88]), last_data);

  Wire last_commit = last_data;
  last_commit[1] = 7;
  last_commit[8] = 0xFE;
  last_commit[9] = 4;
  last_commit[10] = 1;
  last_commit[11] = 0;
  EXPECT_EQ(log[89].selector, 8);
  EXPECT_EQ(WireOf(log[89]), last_commit);

  EXPECT_EQ(log[90].selector, 8);
  EXPECT_EQ(WireOf(log[90]), Literal({{1, 7}, {2, 1}, {8, 0xFD}, {9, 4}, {10, 0xFF}, {11, 0xFF}}));
}

TEST_F(RequestWireBytes, DaaSettingsRequest) {
  channel_.ExpectSet(16, E_FAIL);
  ModeOptions options;
  options.ModeCode = kModeDaa;
  options.Daa.DaaRequest = 1;
  EXPECT_EQ(run_.Run(HandleDAAReadMode, options), E_FAIL);
  const auto log = channel_.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].selector, 16);
  EXPECT_EQ(WireOf(log[0]), Literal({{0, 1}, {1, 15}, {2, 1}, {4, 1}}));
}

TEST_F(RequestWireBytes, TimeZoneParseResultUploadAndReboots) {
  const auto run_config = [this](const ModeOptions& options) {
    run_.console.QueueHiddenLine(L"1234");
    channel_.ExpectPasscodeVerdict();
    channel_.ExpectSet(14, E_FAIL);  // the request itself; nothing follows it
    run_.Run(HandleSystemConfigMode, options);
    return WireOf(channel_.Log().back());
  };
  ModeOptions options{};
  options.ModeCode = kModeConfig;
  options.Config.CfgCommand = 1;
  options.Config.CfgIndex = 0x01020304;
  options.Config.LocalTime = {2009, 5, 0, 12, 13, 45, 7, 0};
  options.Config.UtcTime = {0x0102, 0x0304, 0x0506, 0x0708, 0x090A, 0x0B0C, 0x0D0E, 0x0F10};
  EXPECT_EQ(
      run_config(options),
      Literal({{0, 40},    {1, 13},  {2, 1},   {8, 4},   {9, 3},   {10, 2}, {11, 1},  {12, 0xD9},
               {13, 0x07}, {14, 5},  {18, 12}, {20, 13}, {22, 45}, {24, 7}, {28, 2},  {29, 1},
               {30, 4},    {31, 3},  {32, 6},  {33, 5},  {34, 8},  {35, 7}, {36, 10}, {37, 9},
               {38, 12},   {39, 11}, {40, 14}, {41, 13}, {42, 16}, {43, 15}}));

  options.Config = {};
  options.Config.CfgCommand = 3;
  EXPECT_EQ(run_config(options), Literal({{0, 40}, {1, 13}, {2, 1}, {3, 1}, {8, 3}}));

  options.Config.CfgCommand = 4;
  options.Config.CfgIndex = -1;
  std::wstring(L"QVCONFIG.XML").copy(options.Config.UploadFileName, 12);
  EXPECT_EQ(run_config(options), Literal({{0, 40},
                                          {1, 13},
                                          {2, 1},
                                          {3, 1},
                                          {8, 5},
                                          {12, 'Q'},
                                          {13, 'V'},
                                          {14, 'C'},
                                          {15, 'O'},
                                          {16, 'N'},
                                          {17, 'F'},
                                          {18, 'I'},
                                          {19, 'G'},
                                          {20, '.'},
                                          {21, 'X'},
                                          {22, 'M'},
                                          {23, 'L'}}));

  for (const auto& [mode, command] : {std::pair{kModeConfigReboot, std::uint8_t{2}},
                                      std::pair{kModeConfigRebootVariant, std::uint8_t{4}}}) {
    options = {};
    options.ModeCode = mode;
    EXPECT_EQ(run_config(options), Literal({{0, 40}, {1, 13}, {2, 1}, {3, 1}, {8, command}}));
  }
}

TEST_F(RequestWireBytes, CelogUploadWithAndWithoutFlush) {
  for (const std::uint8_t flush : {std::uint8_t{0}, std::uint8_t{1}}) {
    channel_.ExpectSet(13, E_FAIL);
    ModeOptions options{};
    options.ModeCode = kModeDiag;
    options.Diag.DiagOpcode = 12;
    options.Diag.FlushLog = flush;
    EXPECT_EQ(run_.Run(HandleDiagServerConfig, options), E_FAIL);
    EXPECT_EQ(channel_.Log().back().selector, 13);
    EXPECT_EQ(WireOf(channel_.Log().back()), Literal({{1, 12}, {2, 1}, {4, flush}}));
  }
}

}  // namespace
}  // namespace hx
