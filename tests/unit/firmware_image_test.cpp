#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "model/device_status.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"
#include "support/firmware_host.h"
#include "support/temp_file.h"

namespace hx::emu {
namespace {

using test::FirmwareHost;
using test::PatternBytes;
using test::UploadPackets;

// The packets of a 4081-byte upload: info, 85 data, commit 0, 1 data, commit 1, flush.
constexpr std::size_t kFirstCommit = 86;
constexpr std::size_t kLastData = 87;
constexpr std::size_t kLastCommit = 88;
constexpr std::size_t kFlush = 89;

struct Reply {
  std::uint8_t opcode;
  std::int32_t status;
  std::uint8_t marker = 0;
  std::uint16_t block = 0;
  friend bool operator==(const Reply&, const Reply&) = default;
};

std::ostream& operator<<(std::ostream& out, const Reply& r) {
  return out << "{op " << int(r.opcode) << " status " << std::hex << r.status << " marker "
             << int(r.marker) << std::dec << " block " << r.block << "}";
}

// What the host learns from each reply; marker and block only from echoes.
std::vector<Reply> Seen(const std::vector<XuPacket>& replies) {
  std::vector<Reply> seen;
  for (const XuPacket& r : replies) {
    const bool echo = r.Opcode() == XU_OPCODE_IMGUPD_ECHO;
    seen.push_back({r.Opcode(), r.Status(), echo ? r.BlockMarker() : std::uint8_t{0},
                    echo ? r.BlockNumber() : std::uint16_t{0}});
  }
  return seen;
}

const std::vector<Reply> kCleanUpload = {{5, 0},
                                         {7, 0, 0, 0},
                                         {7, 0, BLOCK_MARKER_LAST, 1},
                                         {7, 0, BLOCK_MARKER_FLUSH, kFlushBlockNumber}};

// One packet of the clean 4081-byte upload made wrong.
struct Spoilt {
  const char* what;
  std::size_t packet;
  void (*spoil)(XuPacket&);
};

std::vector<XuPacket> CleanUpload() {
  return UploadPackets(kConfigImageIndex, PatternBytes(kBlockSize + 1));
}

// A device whose configuration slot holds an old image, authorised for a new upload.
struct DeviceWithOldImage {
  DeviceWithOldImage() {
    host.Upload(kConfigImageIndex, old_image);
    EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  }
  bool SlotUnchanged() const { return host.model.SlotContents(kConfigImageIndex) == old_image; }

  const std::vector<std::uint8_t> old_image = PatternBytes(50, 5);
  FirmwareHost host;
};

TEST(FirmwareImage, WholeUploadCommitsExactlyTheBytesSent) {
  FirmwareHost host;
  const auto bytes = PatternBytes(kBlockSize + 1);
  const auto packets = UploadPackets(kConfigImageIndex, bytes);
  ASSERT_EQ(packets.size(), kFlush + 1);
  EXPECT_EQ(packets[kLastData].Length(), 1);
  EXPECT_EQ(packets[kLastData].Arg0(), 1);

  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  EXPECT_EQ(Seen(host.Run(packets)), kCleanUpload);
  EXPECT_EQ(host.model.SlotContents(kConfigImageIndex), bytes);
  EXPECT_EQ(host.model.SlotContents(kSignatureImageIndex), std::nullopt);

  // A second upload replaces the slot whole; one of exactly one block is marked last at once.
  const auto smaller = PatternBytes(kBlockSize, 7);
  const std::vector<Reply> one_block = {
      {5, 0}, {7, 0, BLOCK_MARKER_LAST, 0}, {7, 0, BLOCK_MARKER_FLUSH, kFlushBlockNumber}};
  EXPECT_EQ(Seen(host.Upload(kConfigImageIndex, smaller)), one_block);
  EXPECT_EQ(host.model.SlotContents(kConfigImageIndex), smaller);
}

TEST(FirmwareImage, ImageRequestsNeedTheImagePasscodeOnThisConnection) {
  FirmwareHost host;
  const auto bytes = PatternBytes(100);
  const auto packets = UploadPackets(kConfigImageIndex, bytes);
  // Never validated: refused, and what follows finds no transfer.
  const auto refused = Seen(host.Run(std::span(packets).first(2)));
  EXPECT_EQ(refused, (std::vector<Reply>{{5, kStatusAccessDenied}, {6, kStatusDataError}}));

  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_NET_INFO), 0);
  EXPECT_EQ(Seen(host.Run(std::span(packets).first(1))),
            (std::vector<Reply>{{5, kStatusAccessDenied}}));
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  EXPECT_EQ(host.Validate("4321", XU_OPCODE_IMGUPD_INFO), kStatusWrongPassword);
  EXPECT_EQ(Seen(host.Run(std::span(packets).first(1))),
            (std::vector<Reply>{{5, kStatusAccessDenied}}));

  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  host.model.ConnectionEnded();
  EXPECT_EQ(Seen(host.Run(packets)).front(), (Reply{5, kStatusAccessDenied}));
  EXPECT_EQ(host.model.SlotContents(kConfigImageIndex), std::nullopt);
}

TEST(FirmwareImage, BootLoaderAndMainImageNeedASignatureFirst) {
  FirmwareHost host;
  const auto image = PatternBytes(200, 3);
  for (const std::uint8_t index : {kBootLoaderImageIndex, kMainImageIndex}) {
    EXPECT_EQ(Seen(host.Upload(index, image)).front(), (Reply{5, kStatusNoSignature}));
  }
  EXPECT_EQ(host.model.SlotContents(kMainImageIndex), std::nullopt);

  // A signature that never got its flush does not count.
  const auto signature = PatternBytes(60, 9);
  auto unflushed = UploadPackets(kSignatureImageIndex, signature);
  unflushed.pop_back();
  host.Run(unflushed);
  EXPECT_EQ(Seen(host.Upload(kMainImageIndex, image)).front(), (Reply{5, kStatusNoSignature}));

  EXPECT_EQ(Seen(host.Upload(kSignatureImageIndex, signature)).back().status, 0);
  EXPECT_EQ(Seen(host.Upload(kMainImageIndex, image)).back(),
            (Reply{7, 0, BLOCK_MARKER_FLUSH, kFlushBlockNumber}));
  EXPECT_EQ(host.model.SlotContents(kSignatureImageIndex), signature);
  EXPECT_EQ(host.model.SlotContents(kMainImageIndex), image);

  // The signature belongs to the connection; the slots stay with the device.
  host.model.ConnectionEnded();
  EXPECT_EQ(Seen(host.Upload(kBootLoaderImageIndex, image)).front(),
            (Reply{5, kStatusNoSignature}));
  EXPECT_EQ(host.model.SlotContents(kMainImageIndex), image);
}

TEST(FirmwareImage, InfoOutsideTheSlotsOrEmptyIsRefused) {
  FirmwareHost host;
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  auto packets = UploadPackets(12, PatternBytes(10));
  EXPECT_EQ(Seen(host.Run(packets)).back().status, 0);
  packets[0].SetInfoImageIndex(13);
  EXPECT_EQ(Seen(host.Run(std::span(packets).first(1))).at(0).status, kStatusInvalidArgument);
  packets[0].SetInfoImageIndex(12);
  packets[0].SetImageSize(0);
  EXPECT_EQ(Seen(host.Run(std::span(packets).first(1))).at(0).status, kStatusInvalidArgument);
}

TEST(FirmwareImage, DataThatDoesNotFitIsReportedCorruptOnceAndNothingIsCommitted) {
  const Spoilt cases[] = {
      {"sequence skipped", 5, [](XuPacket& p) { p.SetArg1(5); }},
      {"sequence repeated", 5, [](XuPacket& p) { p.SetArg1(3); }},
      {"empty packet", 5, [](XuPacket& p) { p.SetLength(0); }},
      {"packet over 48 bytes", 5, [](XuPacket& p) { p.SetLength(49); }},
      {"more than the size", kLastData, [](XuPacket& p) { p.SetLength(2); }},
  };
  const auto clean = CleanUpload();
  for (const Spoilt& c : cases) {
    DeviceWithOldImage device;
    // The packets up to the spoilt block's commit, then the flush.
    const std::size_t commit = c.packet < kFirstCommit ? kFirstCommit : kLastCommit;
    std::vector<XuPacket> packets(clean.begin(), clean.begin() + commit + 1);
    packets.push_back(clean.back());
    c.spoil(packets[c.packet]);
    const auto seen = Seen(device.host.Run(packets));
    // The rest of the broken block and its commit go unanswered; the flush finds no transfer.
    ASSERT_GE(seen.size(), 2u) << c.what;
    EXPECT_EQ(seen[seen.size() - 2], (Reply{6, kStatusDataError})) << c.what;
    EXPECT_EQ(seen.back().status, kStatusDataError) << c.what;
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const Reply& r) { return r.opcode == 6; }),
              1)
        << c.what;
    EXPECT_TRUE(device.SlotUnchanged()) << c.what;
  }
}

TEST(FirmwareImage, CommitsAndFlushesThatDoNotMatchFailAndLeaveTheSlot) {
  const Spoilt cases[] = {
      {"block number ahead", kFirstCommit, [](XuPacket& p) { p.SetBlockNumber(1); }},
      {"block number repeated", kLastCommit, [](XuPacket& p) { p.SetBlockNumber(0); }},
      {"other slot", kFirstCommit, [](XuPacket& p) { p.SetCommitImageIndex(5); }},
      {"last marked too soon", kFirstCommit, [](XuPacket& p) { p.SetBlockMarker(0xFE); }},
      {"last not marked", kLastCommit, [](XuPacket& p) { p.SetBlockMarker(0); }},
      {"unknown marker", kFirstCommit, [](XuPacket& p) { p.SetBlockMarker(0x33); }},
      {"flush of another slot", kFlush, [](XuPacket& p) { p.SetCommitImageIndex(2); }},
      {"flush block number", kFlush, [](XuPacket& p) { p.SetBlockNumber(2); }},
  };
  for (const Spoilt& c : cases) {
    DeviceWithOldImage device;
    auto packets = CleanUpload();
    c.spoil(packets[c.packet]);
    const auto seen = Seen(device.host.Run(std::span(packets).first(c.packet + 1)));
    EXPECT_EQ(seen.back().opcode, XU_OPCODE_IMGUPD_ECHO) << c.what;
    EXPECT_EQ(seen.back().status, kStatusDataError) << c.what;
    // The transfer is over: the flush that would follow fails too.
    EXPECT_EQ(Seen(device.host.Run(std::span(packets).last(1))).back().status, kStatusDataError)
        << c.what;
    EXPECT_TRUE(device.SlotUnchanged()) << c.what;
  }

  // A flush before the last block: too few bytes.
  DeviceWithOldImage device;
  const auto clean = CleanUpload();
  device.host.Run(std::span(clean).first(kFirstCommit + 1));
  EXPECT_EQ(Seen(device.host.Run(std::span(clean).last(1))),
            (std::vector<Reply>{{7, kStatusDataError, BLOCK_MARKER_FLUSH, kFlushBlockNumber}}));
  EXPECT_TRUE(device.SlotUnchanged());
}

TEST(FirmwareImage, StateDirectoryHoldsSlotsAsFilesReplacedWhole) {
  test::TempDir dir;
  const FirmwareOptions options{.state_dir = dir.Path().string()};
  const auto signature = PatternBytes(100, 2);
  const auto image = PatternBytes(3 * kBlockSize + 17, 4);
  {
    FirmwareHost host(options);
    host.Upload(kSignatureImageIndex, signature);
    EXPECT_EQ(Seen(host.Upload(kMainImageIndex, image)).back().status, 0);
  }
  EXPECT_EQ(test::ReadBytes(dir.Path() / "SIG.CAT"), signature);
  EXPECT_EQ(test::ReadBytes(dir.Path() / "NK.BIN"), image);
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "SIG.TMP"));
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "NK.TMP"));

  // A restarted device finds its slots; a transfer cut off midway leaves no trace.
  FirmwareHost restarted(options);
  EXPECT_EQ(restarted.model.SlotContents(kMainImageIndex), image);
  EXPECT_EQ(restarted.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  const auto packets = UploadPackets(kSignatureImageIndex, PatternBytes(kBlockSize * 2, 8));
  restarted.Run(std::span(packets).first(kFirstCommit + 1));
  EXPECT_TRUE(std::filesystem::exists(dir.Path() / "SIG.TMP"));
  restarted.model.ConnectionEnded();
  EXPECT_FALSE(std::filesystem::exists(dir.Path() / "SIG.TMP"));
  EXPECT_EQ(test::ReadBytes(dir.Path() / "SIG.CAT"), signature);
}

TEST(FirmwareImage, TransferFaultsAnswerWithTheirStatusAndCommitNothing) {
  const std::int32_t kInjected = static_cast<std::int32_t>(0x8007001Fu);
  const auto bytes = PatternBytes(3 * kBlockSize);

  FirmwareHost info_fails(FirmwareOptions{.faults = {.info_status = kInjected}});
  const auto info_seen = Seen(info_fails.Upload(kConfigImageIndex, bytes));
  EXPECT_EQ(info_seen.front(), (Reply{5, kInjected}));
  EXPECT_EQ(info_fails.model.SlotContents(kConfigImageIndex), std::nullopt);

  FirmwareHost block_fails(
      FirmwareOptions{.faults = {.echo_status = EchoStatusFault{kInjected, 1}}});
  const auto block_seen = Seen(block_fails.Upload(kConfigImageIndex, bytes));
  ASSERT_GE(block_seen.size(), 3u);
  EXPECT_EQ(block_seen[1], (Reply{7, 0, 0, 0}));
  EXPECT_EQ(block_seen[2], (Reply{7, kInjected, 0, 1}));
  EXPECT_EQ(block_fails.model.SlotContents(kConfigImageIndex), std::nullopt);

  FirmwareHost every_echo(FirmwareOptions{.faults = {.echo_status = EchoStatusFault{kInjected}}});
  EXPECT_EQ(Seen(every_echo.Upload(kConfigImageIndex, bytes)).at(1), (Reply{7, kInjected, 0, 0}));

  FirmwareHost flush_fails(FirmwareOptions{.faults = {.flush_status = 0}});
  EXPECT_EQ(Seen(flush_fails.Upload(kConfigImageIndex, bytes)).back(),
            (Reply{7, 0, BLOCK_MARKER_FLUSH, kFlushBlockNumber}));
  EXPECT_EQ(flush_fails.model.SlotContents(kConfigImageIndex), std::nullopt);
}

TEST(FirmwareImage, CorruptAfterReportsTheNextDataPacketOnce) {
  FirmwareHost host(FirmwareOptions{.faults = {.corrupt_after = 90}});
  const auto bytes = PatternBytes(2 * kBlockSize);
  const auto seen = Seen(host.Upload(kConfigImageIndex, bytes));
  // Packet 91 is the sixth of block 1; block 0 was echoed before it.
  EXPECT_EQ(seen,
            (std::vector<Reply>{
                {5, 0}, {7, 0, 0, 0}, {6, kStatusDataError}, {7, kStatusDataError, 0xFD, 0xFFFF}}));
  EXPECT_EQ(Seen(host.Upload(kConfigImageIndex, bytes)),
            (std::vector<Reply>{{5, 0}, {7, 0, 0, 0}, {7, 0, 0xFE, 1}, {7, 0, 0xFD, 0xFFFF}}));
  EXPECT_EQ(host.model.SlotContents(kConfigImageIndex), bytes);
}

TEST(FirmwareImage, GenericFaultsMeetTheImageExchange) {
  // A data write the link refuses never reaches the device: the next one is out of sequence.
  FirmwareOptions options;
  options.faults.transfer_faults = {{TransferFault::Direction::kSet,
                                     SelectorFor(XU_OPCODE_IMGUPD_DATA),
                                     static_cast<HRESULT>(0x8007001Fu), 3}};
  options.faults.duplicate_interrupts = true;
  FirmwareHost host(options);
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  const auto packets = UploadPackets(kConfigImageIndex, PatternBytes(300));
  EXPECT_EQ(host.Write(packets[0]), S_OK);
  EXPECT_EQ(host.Write(packets[1]), S_OK);
  EXPECT_EQ(host.Write(packets[2]), S_OK);
  EXPECT_EQ(host.Write(packets[3]), static_cast<HRESULT>(0x8007001Fu));
  EXPECT_EQ(host.Write(packets[4]), S_OK);
  EXPECT_EQ(Seen(host.TakeReplies()), (std::vector<Reply>{{5, 0}, {6, kStatusDataError}}));
  EXPECT_EQ(host.interrupts, 2 + 4);  // validation, info and report, each raised twice
}

}  // namespace
}  // namespace hx::emu
