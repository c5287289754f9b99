// Runs inside the test guest that run-guest.sh boots with Debian's kernel: the Linux utility
// against two virtual HX7300s attached through vhci-hcd and carried by the real uvcvideo
// driver. /dev/video0 and /dev/video1 are the first device's capture and metadata nodes;
// /dev/video2 is the capture node of the second, which answers no transfer at all; /dev/video4
// is another driver's (vivid's), over which udevd ran the package's rule as well. The host
// compares the image slots afterwards with the files uploaded from /data, which the network
// update also downloads from the host's HTTP server.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "device/capture_device.h"
#include "device/linux/uvc_channel.h"
#include "protocol/opcodes.h"
#include "support/daa_reply.h"
#include "support/net_image_lines.h"
#include "support/process_runner.h"
#include "support/programs.h"
#include "support/pty_session.h"

namespace hx {
namespace {

using Clock = std::chrono::steady_clock;
using test::ProcessResult;

std::string Utility() {
  const char* path = std::getenv("HX7300_BINARY");
  return path != nullptr ? path : "/bin/hx7300";
}

ProcessResult RunUtility(std::vector<std::string> args,
                         std::map<std::string, std::string> environment = {}) {
  test::ProcessRun run;
  run.argv = {Utility()};
  run.argv.insert(run.argv.end(), args.begin(), args.end());
  run.set_environment = std::move(environment);
  run.unset_environment = {"HX7300_DEVICE", "HX7300_LINUX_POLL", "HX7300_DEBUG_OUTPUT"};
  run.timeout = std::chrono::seconds(30);
  return test::RunProcess(run);
}

// The first HX7300 opened through the backend itself, to look at how its status interrupt
// arrives.
class OpenedDevice {
 public:
  explicit OpenedDevice(bool force_polling)
      : device_([this, force_polling](std::unique_ptr<XuChannel>& channel) {
          auto uvc = std::make_unique<uvc::UvcChannel>(
              uvc::SystemKernel(), uvc::UvcChannelOptions{.force_polling = force_polling});
          channel_ = uvc.get();
          channel = std::move(uvc);
          return S_OK;
        }) {}

  CDuzuVideoCaptureDevice& Device() { return device_; }
  uvc::UvcChannel& Channel() { return *channel_; }

  // Lets signals of earlier runs' interrupts pass, so that the next one is this test's own.
  void Settle() {
    for (int i = 0; i < 10; ++i) {
      if (device_.StatusEvent().Wait(150).outcome == WaitOutcome::kTimedOut) {
        return;
      }
    }
  }

  HRESULT RequestDaaSettings() {
    return device_.SetXU(SelectorFor(XU_OPCODE_VDSP_RESPONSE), test::DaaRequest().Bytes());
  }

  // Reads the status packet and every reply it lists, leaving nothing waiting on the device.
  void TakeReplies() {
    XuPacket status;
    ASSERT_EQ(device_.GetXU(kStatusSelector, status.Bytes()), S_OK);
    for (std::uint8_t i = 0; i < status.Bytes()[0] && i < 48; ++i) {
      XuPacket reply;
      EXPECT_EQ(device_.GetXU(SelectorFor(status.Bytes()[4 + i]), reply.Bytes()), S_OK);
    }
  }

 private:
  uvc::UvcChannel* channel_ = nullptr;
  CDuzuVideoCaptureDevice device_;
};

TEST(RealDriver, DaaReadPrintsTheSettingsWhicheverWayTheInterruptArrives) {
  const ProcessResult events = RunUtility({"-m:daa", "-r"});
  EXPECT_EQ(events.stdout_bytes, test::kDefaultDaaSettingsText);
  EXPECT_EQ(events.exit_status, 0);

  const ProcessResult polled =
      RunUtility({"-m:daa", "-r"}, {{"HX7300_LINUX_POLL", "1"}, {"HX7300_DEBUG_OUTPUT", "stderr"}});
  EXPECT_EQ(polled.stdout_bytes, test::kDefaultDaaSettingsText);
  EXPECT_EQ(polled.exit_status, 0);
  EXPECT_NE(polled.stderr_bytes.find("/dev/video0: status polled, as HX7300_LINUX_POLL asks"),
            std::string::npos)
      << polled.stderr_bytes;
}

TEST(RealDriver, StatusInterruptsArriveAsControlEventsAndOnlyThen) {
  OpenedDevice opened(false);
  ASSERT_EQ(opened.Device().Initialize(), S_OK);
  EXPECT_EQ(opened.Channel().Node(), "/dev/video0");
  ASSERT_EQ(opened.Channel().StatusMode(), uvc::StatusWatcher::Mode::kControlEvents);
  opened.Settle();
  // Nothing was asked, so nothing is announced: a timer would have signalled by now.
  EXPECT_EQ(opened.Device().StatusEvent().Wait(300).outcome, WaitOutcome::kTimedOut);

  const auto asked = Clock::now();
  ASSERT_EQ(opened.RequestDaaSettings(), S_OK);
  const auto written = Clock::now();
  ASSERT_EQ(opened.Device().StatusEvent().Wait(2000).outcome, WaitOutcome::kSignalled);
  const auto signalled = Clock::now();
  const auto micros = [](Clock::duration span) {
    return static_cast<long long>(
        std::chrono::duration_cast<std::chrono::microseconds>(span).count());
  };
  std::printf("request written in %lld us, event signalled %lld us after it\n",
              micros(written - asked), micros(signalled - written));
  opened.TakeReplies();
}

TEST(RealDriver, ForcedPollingSignalsWhenAReplyWaitsAndOnlyThen) {
  OpenedDevice opened(true);
  ASSERT_EQ(opened.Device().Initialize(), S_OK);
  EXPECT_EQ(opened.Channel().StatusMode(), uvc::StatusWatcher::Mode::kTimer);
  opened.Settle();
  // The status is read every 20 ms, but a status with nothing listed is no interrupt.
  EXPECT_EQ(opened.Device().StatusEvent().Wait(300).outcome, WaitOutcome::kTimedOut);
  ASSERT_EQ(opened.RequestDaaSettings(), S_OK);
  ASSERT_EQ(opened.Device().StatusEvent().Wait(2000).outcome, WaitOutcome::kSignalled);
  opened.TakeReplies();
  EXPECT_EQ(opened.Device().StatusEvent().Wait(300).outcome, WaitOutcome::kTimedOut);
}

TEST(RealDriver, ASecondUtilityFindsTheDeviceBusy) {
  OpenedDevice holder(false);
  ASSERT_EQ(holder.Device().Initialize(), S_OK);
  const ProcessResult second = RunUtility({"-m:daa", "-r"});
  EXPECT_EQ(second.stdout_bytes, test::ReportLine(static_cast<HRESULT>(0x800700AAu)));
  EXPECT_EQ(second.exit_status, 0xAA);
}

TEST(RealDriver, ConfigurationImageUploadedAtATerminal) {
  test::PtySession session({Utility(), "-m:img", "-i:config", "-f:/data/config.xml"}, {});
  ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
  EXPECT_TRUE(session.WaitForEcho(false));
  session.Type("1234\r");
  EXPECT_EQ(session.Finish(std::chrono::seconds(60)), 0);
  EXPECT_EQ(session.Output(),
            "\r\nEnter passcode:\r\n"
            "Starting Image Update process...\r\n"
            "Block 0001/0001 sent...\r\n"
            "\x1b[1A\r"
            "\r\nFlushing file, do NOT power down the device!\r\n"
            "Image Update completed.\r\n");
}

TEST(RealDriver, MainImageUploadedWithItsSignature) {
  test::PtySession session({Utility(), "-m:img", "-i:nk", "-f:/data/nk.bin", "-s:/data/nk.cat"},
                           {});
  ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
  EXPECT_TRUE(session.WaitForEcho(false));
  session.Type("1234\r");
  // The image is far below the main image's usual size, so the utility asks first.
  ASSERT_TRUE(session.WaitForOutput("any other key to abort)? ", std::chrono::seconds(30)));
  session.Type("Y\r");
  EXPECT_EQ(session.Finish(std::chrono::seconds(60)), 0);
  const std::string& output = session.Output();
  EXPECT_NE(output.find("Uploading signature file....\r\n"), std::string::npos) << output;
  EXPECT_NE(output.find("You are attempting to update NK.BIN with a file of size 30000 bytes."),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Block 0008/0008 sent...\r\n"), std::string::npos) << output;
  EXPECT_TRUE(output.ends_with("Image Update completed.\r\n")) << output;
}

// Each stage reply comes with its own interrupt; polling must neither miss one nor make one up
// (a made-up one would print the last stage again and send the next step too early).
TEST(RealDriver, NetworkUpdateShowsEachStageOnceWhicheverWayTheInterruptArrives) {
  const char* port = std::getenv("HX7300_GUEST_HTTP_PORT");
  ASSERT_NE(port, nullptr);
  for (const char* polling : {"0", "1"}) {
    test::PtySession session(
        {Utility(), "-m:netimg", "-s:127.0.0.1", std::string("-p:") + port, "-u:manifest.txt"},
        {{"HX7300_LINUX_POLL", polling}});
    ASSERT_TRUE(session.WaitForOutput("\r\nEnter passcode:"));
    EXPECT_TRUE(session.WaitForEcho(false));
    session.Type("1234\r");
    EXPECT_EQ(session.Finish(std::chrono::seconds(60)), 0);
    std::vector<int> percents;
    EXPECT_EQ(test::WithoutProgress(session.Output(), "\x1b[1A\r", percents),
              "\r\nEnter passcode:\r\n" + test::LinesUntilDownload() + test::LinesAfterDownload())
        << "HX7300_LINUX_POLL=" << polling;
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
  }
}

TEST(RealDriver, NodesThatAreNotAnHx7300CaptureNodeAreRefused) {
  const ProcessResult metadata = RunUtility({"-m:daa", "-r"}, {{"HX7300_DEVICE", "/dev/video1"}});
  EXPECT_EQ(metadata.stdout_bytes, test::ReportLine(E_FAIL));
  EXPECT_EQ(metadata.exit_status, 0x05);
  const ProcessResult absent = RunUtility({"-m:daa", "-r"}, {{"HX7300_DEVICE", "/dev/video9"}});
  EXPECT_EQ(absent.stdout_bytes, test::ReportLine(kHrDeviceNotConnected));
  EXPECT_EQ(absent.exit_status, 0x8F);
}

TEST(RealDriver, ADeviceThatStopsAnsweringFailsTheRunWhenTheDriverGivesUp) {
  const auto started = Clock::now();
  const ProcessResult silent = RunUtility({"-m:daa", "-r"}, {{"HX7300_DEVICE", "/dev/video2"}});
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  EXPECT_EQ(silent.stdout_bytes, test::ReportLine(kHrTimeout));
  EXPECT_EQ(silent.exit_status, 0xB4);
  // The driver's own limit for a control transfer is 5 s; the run ends soon after it.
  EXPECT_GE(seconds, 4.5);
  EXPECT_LT(seconds, 10.0);
  std::printf("silent device: run ended after %.2f s\n", seconds);
}

// The value of a property in what "udevadm info" prints ("E: NAME=value" lines).
std::string UdevProperty(const std::string& info, const std::string& name) {
  const std::string key = "E: " + name + "=";
  for (std::size_t at = 0; at < info.size();) {
    const std::size_t end = std::min(info.find('\n', at), info.size());
    if (info.compare(at, key.size(), key) == 0) {
      return info.substr(at + key.size(), end - at - key.size());
    }
    at = end + 1;
  }
  return {};
}

// The seat's user is let into exactly the HX7300's nodes, both of each device; no rule but the
// package's tags anything in the guest, so another driver's node must come out untagged.
TEST(RealDriver, TheAccessRuleTagsEveryHx7300NodeAndNoOther) {
  std::ifstream name_file("/sys/class/video4linux/video4/name");
  const std::string name{std::istreambuf_iterator<char>(name_file), {}};
  ASSERT_TRUE(name.starts_with("vivid")) << name;
  struct Case {
    const char* node;
    bool tagged;
  };
  for (const Case& c :
       {Case{"/dev/video0", true}, Case{"/dev/video1", true}, Case{"/dev/video2", true},
        Case{"/dev/video3", true}, Case{"/dev/video4", false}}) {
    test::ProcessRun run;
    run.argv = {"/bin/udevadm", "info", "--query=all", std::string("--name=") + c.node};
    const ProcessResult info = test::RunProcess(run);
    ASSERT_EQ(info.exit_status, 0) << c.node << ": " << info.stderr_bytes;
    // Set by init's rule for every node: an untagged node is not one that udevd missed.
    EXPECT_EQ(UdevProperty(info.stdout_bytes, "HX7300_GUEST_SEEN"), "1") << info.stdout_bytes;
    const std::string tags = UdevProperty(info.stdout_bytes, "TAGS");
    const std::string current = UdevProperty(info.stdout_bytes, "CURRENT_TAGS");
    EXPECT_EQ(tags.find(":uaccess:") != std::string::npos, c.tagged) << info.stdout_bytes;
    EXPECT_EQ(current.find(":uaccess:") != std::string::npos, c.tagged) << info.stdout_bytes;
    std::printf("%s: TAGS=%s CURRENT_TAGS=%s\n", c.node, tags.c_str(), current.c_str());
  }
}

}  // namespace
}  // namespace hx
