// The USB image update as the handler runs it: reader on this thread, worker behind the
// completion queue, against the in-process virtual HX7300 with faults injected.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "operations/handlers.h"
#include "platform/message_table.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"
#include "support/device_run.h"
#include "support/emulated_device.h"
#include "support/programs.h"
#include "support/special_file.h"
#include "support/temp_file.h"

namespace hx {
namespace {

std::string Progress(int sent, int total) {
  char line[64];
  std::snprintf(line, sizeof line, "Block %04d/%04d sent...\r\n<back>", sent, total);
  return line;
}

std::string TransferLines(int blocks) {
  std::string lines = "Starting Image Update process...\r\n";
  for (int block = 1; block <= blocks; ++block) {
    lines += Progress(block, blocks);
  }
  return lines + "\r\nFlushing file, do NOT power down the device!\r\nImage Update completed.\r\n";
}

class ImageUpdateFlowTest : public ::testing::Test {
 protected:
  // Starts the device with these faults ("name=value" as hx7300-emulator takes them) and,
  // where one is named, a state directory.
  void StartDevice(const std::vector<std::string>& faults = {}, const std::string& stdin_text = "",
                   const std::string& state_dir = "") {
    model_ = test::FaultedModel(faults, state_dir);
    ASSERT_NE(model_, nullptr);
    run_.emplace(model_, stdin_text).console.QueueHiddenLine(L"1234");
  }

  HRESULT Upload(const char* keyword, std::size_t image_size, std::size_t signature_size = 100) {
    image_ = test::PatternBytes(image_size, 3);
    image_path_ = dir_.Write("image.bin", image_).wstring();
    return UploadFile(keyword, image_path_, signature_size);
  }

  // The img mode with the image file named by image_path and a fresh signature file.
  HRESULT UploadFile(const char* keyword, const std::wstring& image_path,
                     std::size_t signature_size = 100) {
    image_path_ = image_path;
    signature_ = test::PatternBytes(signature_size, 9);
    signature_path_ = dir_.Write("image.cat", signature_).wstring();
    ModeOptions options;
    options.ModeCode = kModeImage;
    options.Image.ImageIndex = std::string(keyword) == "nk" ? 1 : 4;
    options.Image.ImageFile = image_path_.c_str();
    options.Image.SignatureFile = signature_path_.c_str();
    return run_->Run(HandleImageUpdateMode, options);
  }

  std::string Output() const { return run_->console.Output(); }

  test::TempDir dir_;
  std::shared_ptr<emu::FirmwareModel> model_;
  std::optional<test::DeviceRun> run_;
  std::vector<std::uint8_t> image_;
  std::vector<std::uint8_t> signature_;
  std::wstring image_path_;
  std::wstring signature_path_;
};

TEST_F(ImageUpdateFlowTest, MainImageGoesAfterItsSignatureAndBothArriveWhole) {
  StartDevice({}, "Y\n");
  ASSERT_EQ(Upload("nk", 3 * kBlockSize + 17, 2 * kBlockSize - 1), S_OK);
  EXPECT_EQ(model_->SlotContents(kSignatureImageIndex), signature_);
  EXPECT_EQ(model_->SlotContents(kMainImageIndex), image_);
  // The image is checked, and its size confirmed, before anything of the signature is sent.
  EXPECT_EQ(Output(),
            "\r\nEnter passcode:\r\n"
            "You are attempting to update NK.BIN with a file of size 12257 bytes.\r\n"
            "Is this correct (Enter Y to confirm, any other key to abort)? "
            "Uploading signature file....\r\n" +
                TransferLines(2) + TransferLines(4));
}

TEST_F(ImageUpdateFlowTest, ConfigurationFileNeedsNoSignatureAndNoConfirmation) {
  StartDevice({"latency-us=20", "duplicate-interrupts", "extra-replies=10"});
  ASSERT_EQ(Upload("config", kBlockSize), S_OK);
  EXPECT_EQ(model_->SlotContents(kConfigImageIndex), image_);
  EXPECT_FALSE(model_->SlotContents(kSignatureImageIndex).has_value());
  EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + TransferLines(1));
}

TEST_F(ImageUpdateFlowTest, RefusalsBeforeTheTransferSendNothing) {
  StartDevice({}, "n\n");
  EXPECT_EQ(Upload("nk", 100), E_FAIL);  // the operator declines the small main image
  EXPECT_FALSE(model_->SlotContents(kMainImageIndex).has_value());
  EXPECT_TRUE(Output().ends_with("any other key to abort)? " + test::ReportLine(E_FAIL)));

  run_->console.QueueHiddenLine(L"4321");
  EXPECT_EQ(Upload("config", 100), static_cast<HRESULT>(0x8007052B));
  EXPECT_FALSE(model_->SlotContents(kConfigImageIndex).has_value());
}

TEST_F(ImageUpdateFlowTest, ImageThatCannotFollowItsSignatureStopsTheRunBeforeTheSignature) {
  const auto fifo = test::NotARegularFile(dir_.Path());
  const auto huge = dir_.Path() / "huge.bin";
  { std::ofstream(huge).put('x'); }
  std::filesystem::resize_file(huge, std::uintmax_t{1} << 32);  // sparse: 4 GiB
  const std::string question =
      "You are attempting to update NK.BIN with a file of size 0 bytes.\r\n"
      "Is this correct (Enter Y to confirm, any other key to abort)? ";
  struct Case {
    std::filesystem::path image;
    std::string answer;
    HRESULT result;
    std::string asked;
  } cases[] = {
      {dir_.Path() / "missing.bin", "", static_cast<HRESULT>(0x80070002), ""},
      {dir_.Path(), "", static_cast<HRESULT>(0x80070005), ""},
      {fifo, "", static_cast<HRESULT>(0x80070032), ""},
      {huge, "", static_cast<HRESULT>(0x800700DF), ""},
      {dir_.Write("empty.bin", {}), "Y\n", static_cast<HRESULT>(0x800703EE), question},
      {dir_.Write("small.bin", {1}), "n\n", E_FAIL,
       "You are attempting to update NK.BIN with a file of size 1 bytes.\r\n"
       "Is this correct (Enter Y to confirm, any other key to abort)? "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.image.string());
    StartDevice({}, c.answer);
    EXPECT_EQ(UploadFile("nk", c.image.wstring()), c.result);
    EXPECT_EQ(Output(), "\r\nEnter passcode:\r\n" + c.asked + test::ReportLine(c.result));
    // Nothing but the passcode exchange reached the device.
    const auto sets = model_->ReceivedSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].selector, SelectorFor(XU_OPCODE_SYSTEM_CONFIG));
    EXPECT_FALSE(model_->SlotContents(kSignatureImageIndex).has_value());
  }
}

TEST_F(ImageUpdateFlowTest, ImageIsSentFromTheFileThatWasCheckedWithoutASecondQuestion) {
  StartDevice({}, "Y\nn\n");
  const auto checked = test::PatternBytes(1000, 4);
  const auto path = dir_.Write("image.bin", checked);
  ASSERT_EQ(UploadFile("nk", path.wstring()), S_OK);
  EXPECT_EQ(model_->SlotContents(kMainImageIndex), checked);
  EXPECT_EQ(Output().find("You are attempting"), Output().rfind("You are attempting"));
}

TEST_F(ImageUpdateFlowTest, DeviceRefusingTheSignatureStopsTheRunBeforeTheImage) {
  StartDevice({"info-status=0x80070005"}, "Y\n");
  EXPECT_EQ(Upload("nk", 100), static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(Output(),
            "\r\nEnter passcode:\r\n"
            "You are attempting to update NK.BIN with a file of size 100 bytes.\r\n"
            "Is this correct (Enter Y to confirm, any other key to abort)? "
            "Uploading signature file....\r\n" +
                test::ReportLine(static_cast<HRESULT>(0x80070005)));
  EXPECT_FALSE(model_->SlotContents(kMainImageIndex).has_value());
}

TEST_F(ImageUpdateFlowTest, FailedFlushLeavesTheSlotAsItWas) {
  StartDevice({"flush-status=0x80070070"});
  EXPECT_EQ(Upload("config", 5000), static_cast<HRESULT>(0x80070070));
  EXPECT_FALSE(model_->SlotContents(kConfigImageIndex).has_value());
  EXPECT_TRUE(Output().ends_with("\r\nFlushing file, do NOT power down the device!\r\n" +
                                 test::ReportLine(static_cast<HRESULT>(0x80070070))));
}

TEST_F(ImageUpdateFlowTest, WorkerFailuresEndTheTransferInsteadOfLeavingTheReaderWaiting) {
  StartDevice({"corrupt-after=100"});
  EXPECT_EQ(Upload("config", 3 * kBlockSize), static_cast<HRESULT>(0x80070017));
  EXPECT_TRUE(Output().ends_with(test::ReportLine(static_cast<HRESULT>(0x80070017))));
  EXPECT_FALSE(model_->SlotContents(kConfigImageIndex).has_value());

  StartDevice({"fail-set=7:0x8007001F:150"});
  EXPECT_EQ(Upload("config", 3 * kBlockSize), static_cast<HRESULT>(0x8007001F));
  EXPECT_TRUE(Output().ends_with(test::ReportLine(static_cast<HRESULT>(0x8007001F))));
  EXPECT_FALSE(model_->SlotContents(kConfigImageIndex).has_value());
}

// Nothing of the image is left, neither in its slot nor as the device's staging file.
TEST_F(ImageUpdateFlowTest, ALostLinkIsReportedOnceWhicheverThreadMeetsItFirst) {
  const std::string not_connected = test::ReportLine(static_cast<HRESULT>(0x8007048F));
  for (int transfers : {20, 40, 60, 100, 130}) {
    SCOPED_TRACE("link lost after " + std::to_string(transfers) + " transfers");
    test::TempDir state;
    StartDevice({"disconnect-after=" + std::to_string(transfers)}, "", state.Path().string());
    EXPECT_EQ(Upload("config", 3 * kBlockSize), static_cast<HRESULT>(0x8007048F));
    const std::string output = Output();
    EXPECT_EQ(output.find(not_connected), output.rfind(not_connected)) << output;
    EXPECT_NE(output.find(not_connected), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(state.Path() / "QVCONFIG.XML"));
    EXPECT_FALSE(std::filesystem::exists(state.Path() / "QVCONFIG.TMP"));
  }
}

TEST_F(ImageUpdateFlowTest, PositiveStatusOnABlockEchoLetsTheRunGoOnOnceTheWorkerIsIdle) {
  // A positive Status is a failure the device reports but not one the handler stops for: the
  // image follows the signature while the worker may still be finishing its last write.
  // The device then refuses the image, whose signature it never received whole.
  StartDevice({"echo-status=7:1"}, "Y\n");
  const auto no_signature = static_cast<HRESULT>(0x800B0100);
  EXPECT_EQ(Upload("nk", 3 * kBlockSize, 3 * kBlockSize), no_signature);
  EXPECT_TRUE(Output().ends_with(test::ReportLine(7) + test::ReportLine(no_signature))) << Output();
  EXPECT_FALSE(model_->SlotContents(kMainImageIndex).has_value());
}

TEST_F(ImageUpdateFlowTest, FailedWritesReadsAndEchoesOfTheTransferAreReportedOnceAndReturned) {
  const auto general = static_cast<HRESULT>(0x8007001F);
  struct Case {
    const char* fault;
    const char* last_line_before_failure;
  } cases[] = {
      {"fail-set=6:0x8007001F", "\r\nEnter passcode:\r\n"},                 // the info packet
      {"fail-get=1:0x8007001F:3", "Starting Image Update process...\r\n"},  // a status read
      {"fail-set=8:0x8007001F:3", "\r\nFlushing file, do NOT power down the device!\r\n"},
      {"echo-status=0x8007001F:1", "Block 0001/0002 sent...\r\n<back>"},  // the second echo
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    StartDevice({c.fault});
    EXPECT_EQ(Upload("config", 2 * kBlockSize), general);
    const std::string output = Output();
    EXPECT_TRUE(output.ends_with(c.last_line_before_failure + test::ReportLine(general))) << output;
    EXPECT_FALSE(model_->SlotContents(kConfigImageIndex).has_value());
  }
}

}  // namespace
}  // namespace hx
