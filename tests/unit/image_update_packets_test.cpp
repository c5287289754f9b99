#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "operations/image_update.h"
#include "protocol/image_slots.h"
#include "support/device_run.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using test::Transfer;

constexpr std::uint8_t kInfoSelector = 6;
constexpr std::uint8_t kDataSelector = 7;
constexpr std::uint8_t kEchoSelector = 8;

class ImageUpdatePacketsTest : public ::testing::Test {
 protected:
  ImageUpdatePacketsTest() { run_->Script().AcceptUnscriptedSets(); }

  // Runs a whole transfer of `bytes` into slot 4 on this thread and returns what was written.
  std::vector<Transfer> RunTransfer(const std::vector<std::uint8_t>& bytes) {
    const auto file = dir_.Write("image.bin", bytes);
    CImageUpdate update;
    EXPECT_EQ(update.Initialize(&run_->Device(), kConfigImageIndex, file.wstring().c_str()), S_OK);
    EXPECT_EQ(update.SendXUInfo(), S_OK);
    while (!update.FileDrained()) {
      EXPECT_EQ(update.SendBlock(), S_OK);
    }
    EXPECT_EQ(update.SendFlush(), S_OK);
    return run_->Script().Log();
  }

  test::TempDir dir_;
  std::optional<test::DeviceRun> run_{std::in_place};
};

// Checks every packet of a transfer against the file: each data packet carries the next bytes
// of the file, numbered within its block; each block of at most 85 packets is committed.
void ExpectTransferOf(const std::vector<std::uint8_t>& file, const std::vector<Transfer>& log) {
  ASSERT_FALSE(log.empty());
  const XuPacket& info = log.front().packet;
  EXPECT_EQ(log.front().selector, kInfoSelector);
  EXPECT_EQ(info.Length(), 52);
  EXPECT_EQ(info.Opcode(), 5);
  EXPECT_EQ(info.Arg0(), 1);
  EXPECT_EQ(info.Byte(8), kConfigImageIndex);
  EXPECT_EQ(info.ImageSize(), file.size());

  std::size_t offset = 0;
  std::size_t index = 1;
  for (std::uint16_t block = 0; offset < file.size(); ++block) {
    const bool last_block = file.size() - offset <= kBlockSize;
    XuPacket last_data;
    for (std::uint8_t sequence = 0; offset < file.size() && sequence < 85; ++sequence) {
      ASSERT_LT(index, log.size());
      const XuPacket& data = log[index++].packet;
      ASSERT_EQ(log[index - 1].selector, kDataSelector) << "packet " << index - 1;
      const std::size_t length = std::min<std::size_t>(48, file.size() - offset);
      EXPECT_EQ(data.Opcode(), 6);
      EXPECT_EQ(data.Length(), length);
      EXPECT_EQ(data.Arg1(), sequence);
      EXPECT_EQ(data.Arg0(), offset + length == file.size() ? 1 : 0);
      EXPECT_TRUE(std::equal(file.begin() + static_cast<std::ptrdiff_t>(offset),
                             file.begin() + static_cast<std::ptrdiff_t>(offset + length),
                             data.Payload().begin()))
          << "payload of block " << block << " packet " << int{sequence};
      offset += length;
      last_data = data;
    }
    ASSERT_LT(index, log.size());
    ASSERT_EQ(log[index].selector, kEchoSelector);
    const XuPacket& commit = log[index++].packet;
    EXPECT_EQ(commit.Opcode(), 7);
    EXPECT_EQ(commit.Arg0(), last_block ? 1 : 0);
    EXPECT_EQ(commit.BlockMarker(), last_block ? BLOCK_MARKER_LAST : 0);
    EXPECT_EQ(commit.CommitImageIndex(), kConfigImageIndex);
    EXPECT_EQ(commit.BlockNumber(), block);
    // Everything else is what the block's last data packet left in the buffer.
    for (std::size_t byte : {0u, 3u, 4u, 5u, 6u, 7u}) {
      EXPECT_EQ(commit.Byte(byte), last_data.Byte(byte));
    }
    for (std::size_t byte = 12; byte < kXuPacketSize; ++byte) {
      EXPECT_EQ(commit.Byte(byte), last_data.Byte(byte));
    }
  }
  ASSERT_EQ(index + 1, log.size());
  XuPacket flush;
  flush.SetOpcode(7);
  flush.SetArg0(1);
  flush.SetBlockMarker(0xFD);
  flush.SetCommitImageIndex(kConfigImageIndex);
  flush.SetBlockNumber(0xFFFF);
  EXPECT_EQ(log.back().selector, kEchoSelector);
  EXPECT_EQ(log.back().packet, flush);
}

TEST_F(ImageUpdatePacketsTest, EverySizeThatMattersIsSentPacketForPacket) {
  for (std::size_t size : {1u, 48u, 96u, 100u, 4080u, 4081u, 8161u}) {
    SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
    run_.emplace().Script().AcceptUnscriptedSets();
    const auto bytes = test::PatternBytes(size, static_cast<std::uint8_t>(size));
    ExpectTransferOf(bytes, RunTransfer(bytes));
  }
}

TEST_F(ImageUpdatePacketsTest, ShortLastPacketKeepsTheBytesOfThePacketBeforeIt) {
  const auto log = RunTransfer(test::PatternBytes(100));
  ASSERT_EQ(log.size(), 6u);  // info, three data packets, commit, flush
  const XuPacket& second = log[2].packet;
  const XuPacket& third = log[3].packet;
  EXPECT_EQ(third.Length(), 4);
  for (std::size_t byte = 8; byte < kXuPacketSize; ++byte) {
    EXPECT_EQ(third.Byte(byte), second.Byte(byte)) << "byte " << byte;
  }
}

TEST_F(ImageUpdatePacketsTest, OnlyPacketOfABlockHasZeroBehindItsData) {
  const auto log = RunTransfer(test::PatternBytes(4081));
  const XuPacket& lone = log[log.size() - 3].packet;  // block 1's only data packet
  EXPECT_EQ(lone.Length(), 1);
  EXPECT_EQ(lone.Arg1(), 0);
  for (std::size_t byte = 5; byte < kXuPacketSize; ++byte) {
    EXPECT_EQ(lone.Byte(byte), 0) << "byte " << byte;
  }
}

TEST_F(ImageUpdatePacketsTest, ProgressLineCountsCommittedBlocks) {
  const auto file = dir_.Write("image.bin", test::PatternBytes(4081));
  CImageUpdate update;
  ASSERT_EQ(update.Initialize(&run_->Device(), kConfigImageIndex, file.wstring().c_str()), S_OK);
  ASSERT_EQ(update.SendBlock(), S_OK);
  update.ShowProgress();
  EXPECT_EQ(run_->console.Output(), "Block 0001/0002 sent...\r\n<back>");
}

TEST_F(ImageUpdatePacketsTest, FileThatCannotBeSentIsRefusedBeforeAnythingIsWritten) {
  CImageUpdate update;
  const auto empty = dir_.Write("empty.bin", {});
  EXPECT_EQ(update.Initialize(&run_->Device(), kConfigImageIndex, empty.wstring().c_str()),
            static_cast<HRESULT>(0x800703EE));
  const auto missing = dir_.Path() / "missing.bin";
  EXPECT_EQ(update.Initialize(&run_->Device(), kConfigImageIndex, missing.wstring().c_str()),
            static_cast<HRESULT>(0x80070002));
  const auto huge = dir_.Path() / "huge.bin";
  { std::ofstream(huge).put('x'); }
  std::filesystem::resize_file(huge, std::uintmax_t{1} << 32);  // sparse: 4 GiB
  EXPECT_EQ(update.Initialize(&run_->Device(), kConfigImageIndex, huge.wstring().c_str()),
            static_cast<HRESULT>(0x800700DF));
  EXPECT_TRUE(run_->Script().Log().empty());
}

}  // namespace
}  // namespace hx
