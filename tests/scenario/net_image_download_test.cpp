// The network update end to end inside one process: the handler and its progress thread
// against the virtual HX7300, which downloads from a real HTTP server on 127.0.0.1.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "operations/handlers.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"
#include "support/device_pieces.h"
#include "support/device_run.h"
#include "support/emulated_device.h"
#include "support/http_test_server.h"
#include "support/net_image_lines.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using Files = std::map<std::string, std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Text(const std::string& text) {
  return {text.begin(), text.end()};
}

using test::Succeeded;

const std::string kUntilImages = "\r\nEnter passcode:\r\n" + test::LinesUntilDownload();

class NetImageDownloadTest : public ::testing::Test {
 protected:
  // A virtual HX7300 with these faults ("name=value" as hx7300-emulator takes them).
  void StartDevice(const std::vector<std::string>& faults = {}) {
    StartDevice(test::FaultedModel(faults));
  }

  void StartDevice(std::shared_ptr<emu::FirmwareModel> model) {
    model_ = std::move(model);
    ASSERT_NE(model_, nullptr);
    run_.emplace(model_).console.QueueHiddenLine(L"1234");
  }

  HRESULT Run(const std::string& server, std::uint16_t port, const std::string& url) {
    ModeOptions options;
    options.ModeCode = kModeNetImage;
    options.NetImage.ServerName = server;
    options.NetImage.UpdateUrl = url;
    options.NetImage.ServerPort = port;
    const HRESULT hr = run_->Run(HandleNetImageUpdateMode, options);
    run_->Device().Uninitialize();
    return hr;
  }

  std::string Output() const { return run_->console.Output(); }

  std::vector<std::uint8_t> LastStepSent() const {
    std::vector<std::uint8_t> steps;
    for (const emu::ReceivedSet& set : model_->ReceivedSets()) {
      if (set.selector == SelectorFor(XU_OPCODE_IMGUPD_NET_INFO)) {
        steps.push_back(set.packet.Bytes()[8]);
      }
    }
    return steps;
  }

  std::shared_ptr<emu::FirmwareModel> model_;
  std::optional<test::DeviceRun> run_;
};

TEST_F(NetImageDownloadTest, ImagesOfTheManifestLandInTheirSlotsWhole) {
  const auto image = test::PatternBytes(300000, 7);
  const auto signature = test::PatternBytes(2000, 8);
  test::HttpTestServer server({
      {"/updates/manifest.txt",
       Text("# spring release\r\nnk.bin  images/nk.bin\r\n\r\nSIG.CAT\t/signatures/nk.cat\r\n")},
      {"/updates/images/nk.bin", image},
      {"/signatures/nk.cat", signature},
  });
  ASSERT_TRUE(server.Started());
  StartDevice();
  EXPECT_EQ(Run("127.0.0.1", server.Port(), "/updates/manifest.txt"), S_OK);
  std::vector<int> percents;
  EXPECT_EQ(test::WithoutProgress(Output(), "<back>", percents),
            kUntilImages + test::LinesAfterDownload());
  ASSERT_FALSE(percents.empty());
  EXPECT_EQ(percents.back(), 100);
  EXPECT_TRUE(std::ranges::is_sorted(percents, std::less_equal<>()));
  EXPECT_EQ(model_->SlotContents(kMainImageIndex), image);
  EXPECT_EQ(model_->SlotContents(kSignatureImageIndex), signature);
  // The images are looked up before any is downloaded.
  EXPECT_EQ(server.Requests(),
            (std::vector<std::string>{
                "GET /updates/manifest.txt HTTP/1.1", "HEAD /updates/images/nk.bin HTTP/1.1",
                "HEAD /signatures/nk.cat HTTP/1.1", "GET /updates/images/nk.bin HTTP/1.1",
                "GET /signatures/nk.cat HTTP/1.1"}));
  EXPECT_EQ(LastStepSent(), (std::vector<std::uint8_t>{1, 2, 3, 253, 255}));
}

TEST_F(NetImageDownloadTest, WhatGoesWrongWithTheServerIsTheFailingStagesStatus) {
  const std::string manifest = "NK.BIN nk.bin\nQVCONFIG.XML config.xml\n";
  struct Case {
    std::string name;
    Files files;
    std::string broken;
    bool unreachable;
    std::string lines;  // after the stages that passed
    HRESULT result;
  } cases[] = {
      {"unreachable",
       {},
       "",
       true,
       "Sending request to server...FAILED!  Error = 0x80072EFD (0)\r\n",
       static_cast<HRESULT>(0x80072EFD)},
      {"no manifest",
       {},
       "",
       false,
       "Receiving file manifest from server...FAILED!  Error = 0x80190194 (0)\r\n",
       static_cast<HRESULT>(0x80190194)},
      {"malformed manifest",
       {{"/m.txt", Text("NK.BIN nk.bin\nREADME.TXT readme\n")}},
       "",
       false,
       "Receiving file manifest from server...FAILED!  Error = 0x8007000D (0)\r\n",
       static_cast<HRESULT>(0x8007000D)},
      {"manifest broken midway",
       {{"/m.txt", Text(manifest)}},
       "/m.txt",
       false,
       "Receiving file manifest from server...FAILED!  Error = 0x80072EFE (0)\r\n",
       static_cast<HRESULT>(0x80072EFE)},
      {"missing image",
       {{"/m.txt", Text(manifest)}, {"/nk.bin", test::PatternBytes(5000)}},
       "",
       false,
       "Getting images...FAILED!  Error = 0x80190194 (0)\r\n",
       static_cast<HRESULT>(0x80190194)},
      {"image broken midway",
       {{"/m.txt", Text(manifest)},
        {"/nk.bin", test::PatternBytes(5000)},
        {"/config.xml", test::PatternBytes(400000)}},
       "/config.xml",
       false,
       "Getting images...FAILED!  Error = 0x80072EFE (0)\r\n",
       static_cast<HRESULT>(0x80072EFE)},
      {"empty image",
       {{"/m.txt", Text(manifest)}, {"/nk.bin", {}}},
       "",
       false,
       "Getting images...FAILED!  Error = 0x8007000D (0)\r\n",
       static_cast<HRESULT>(0x8007000D)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::HttpTestServer server(c.files);
    ASSERT_TRUE(server.Started());
    if (!c.broken.empty()) {
      server.BreakMidway(c.broken);
    }
    StartDevice();
    EXPECT_EQ(Run("127.0.0.1", c.unreachable ? test::UnusedTcpPort() : server.Port(), "m.txt"),
              c.result);
    std::vector<int> percents;
    const std::string output = test::WithoutProgress(Output(), "<back>", percents);
    EXPECT_TRUE(output.ends_with(c.lines + "Image Update failed.\r\n")) << output;
    EXPECT_EQ(output.find("FAILED"), output.rfind("FAILED")) << output;
    // Nothing of an update that failed reaches a slot, and the device hears the final step.
    EXPECT_FALSE(model_->SlotContents(kMainImageIndex).has_value());
    EXPECT_FALSE(model_->SlotContents(kConfigImageIndex).has_value());
    EXPECT_EQ(LastStepSent().back(), 255);
  }
}

TEST_F(NetImageDownloadTest, AServerThatTricklesIsGivenUpOnAsTimedOut) {
  // At two bytes a second the image would take 20 s; the device gives up after 2 s below
  // 1 KiB a second.
  test::HttpTestServer server(
      {{"/m.txt", Text("NK.BIN nk.bin\n")}, {"/nk.bin", test::PatternBytes(40)}});
  ASSERT_TRUE(server.Started());
  server.Trickle("/nk.bin");
  emu::FirmwareOptions options;
  options.net_update_pace.low_speed_seconds = 2;
  StartDevice(std::make_shared<emu::FirmwareModel>(options, test::EmulatorPieces()));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Run("127.0.0.1", server.Port(), "m.txt"), static_cast<HRESULT>(0x80072EE2));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_TRUE(Output().ends_with(
      "Getting images...FAILED!  Error = 0x80072EE2 (0)\r\nImage Update failed.\r\n"));
  EXPECT_FALSE(model_->SlotContents(kMainImageIndex).has_value());
}

TEST_F(NetImageDownloadTest, ServerNameThatCannotBeInAUrlFailsTheManifestsStage) {
  StartDevice();
  EXPECT_EQ(Run("update server", 80, "m.txt"), static_cast<HRESULT>(0x80070057));
  EXPECT_TRUE(Output().ends_with(
      Succeeded("Starting image update") +
      "Building file manifest...FAILED!  Error = 0x80070057 (0)\r\nImage Update failed.\r\n"));
}

TEST_F(NetImageDownloadTest, InjectedStageFaultsEndTheUpdateWhereTheySay) {
  const auto image = test::PatternBytes(1000, 3);
  test::HttpTestServer server({{"/m.txt", Text("QVCONFIG.XML q.xml\n")}, {"/q.xml", image}});
  ASSERT_TRUE(server.Started());
  // A configuration step failed by its StepCount alone: no failure line, nothing more sent.
  StartDevice({"net-stage-count=2:201"});
  EXPECT_EQ(Run("127.0.0.1", server.Port(), "m.txt"), E_FAIL);
  EXPECT_TRUE(Output().ends_with(Succeeded("Setting server information") +
                                 "Setting URI information...FAILED!  Error = "
                                 "0x00000000 (201)\r\n"));
  EXPECT_EQ(LastStepSent(), (std::vector<std::uint8_t>{1, 2}));
  // A failed NAND write writes nothing.
  StartDevice({"net-stage-status=10:0x80070070"});
  EXPECT_EQ(Run("127.0.0.1", server.Port(), "m.txt"), static_cast<HRESULT>(0x80070070));
  EXPECT_TRUE(Output().ends_with(
      "NAND write...FAILED!  Error = 0x80070070 (0)\r\nImage Update failed.\r\n"));
  EXPECT_FALSE(model_->SlotContents(kConfigImageIndex).has_value());
  // Validation fails after the write: the slot holds the new image.
  StartDevice({"net-stage-status=12:0x80070017"});
  EXPECT_EQ(Run("127.0.0.1", server.Port(), "m.txt"), static_cast<HRESULT>(0x80070017));
  EXPECT_TRUE(Output().ends_with(
      "Image validation\r\n...FAILED!  Error = 0x80070017 (0)\r\nImage Update failed.\r\n"));
  EXPECT_EQ(model_->SlotContents(kConfigImageIndex), image);
}

}  // namespace
}  // namespace hx
