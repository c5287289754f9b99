// The virtual HX7300's side of the time, configuration and diagnostics exchanges: what it
// accepts, what it keeps, what it answers, and the faults it can be told to show in those
// answers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/device_status.h"
#include "model/firmware_model.h"
#include "model/xml_check.h"
#include "protocol/opcodes.h"
#include "protocol/system_config.h"
#include "support/firmware_host.h"
#include "support/system_time.h"
#include "support/temp_file.h"

namespace hx::emu {
namespace {

using test::FirmwareHost;

constexpr SYSTEMTIME kLocal = {2024, 3, 0, 31, 3, 30, 0, 0};
constexpr SYSTEMTIME kUtc = {2024, 3, 0, 31, 1, 30, 0, 0};

XuPacket TimeRequest(std::int32_t zone_index, const SYSTEMTIME& local, const SYSTEMTIME& utc) {
  XuPacket request;
  request.SetLength(40);
  request.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
  request.SetArg0(1);
  request.SetArg1(kConfigArg1TimeZone);
  request.SetConfigCommand(zone_index);
  request.SetConfigLocalTime(local);
  request.SetConfigUtcTime(utc);
  return request;
}

XuPacket CommandRequest(std::int32_t command, const std::string& name = "") {
  XuPacket request;
  request.SetLength(40);
  request.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
  request.SetArg0(1);
  request.SetArg1(kConfigArg1Command);
  request.SetConfigCommand(command);
  SetFieldText(request.ConfigData(), name);
  return request;
}

XuPacket CelogRequest(std::uint8_t flush) {
  XuPacket request;
  request.SetOpcode(XU_OPCODE_DIAG_UPLOAD_CELOG);
  request.SetArg0(1);
  request.SetFlushLog(flush);
  return request;
}

// Writes request and returns the one reply it raises.
XuPacket Exchange(FirmwareHost& host, const XuPacket& request) {
  EXPECT_EQ(host.Write(request), S_OK);
  const auto replies = host.TakeReplies();
  EXPECT_EQ(replies.size(), 1u);
  return replies.empty() ? XuPacket{} : replies[0];
}

std::string FileText(const test::TempDir& dir, const char* name) {
  const auto bytes = test::ReadBytes(dir.Path() / name);
  return std::string(bytes.begin(), bytes.end());
}

TEST(FirmwareConfig, ClockTakesANamedZoneAndTwoValidTimesFromAnAuthorisedHost) {
  test::TempDir dir;
  FirmwareHost host(FirmwareOptions{.state_dir = dir.Path().string()});
  // Not before the passcode has been validated for opcode 13.
  EXPECT_EQ(Exchange(host, TimeRequest(110, kLocal, kUtc)).Status(), kStatusAccessDenied);
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_IMGUPD_INFO), 0);
  EXPECT_EQ(Exchange(host, TimeRequest(110, kLocal, kUtc)).Status(), kStatusAccessDenied);
  EXPECT_FALSE(host.model.Clock());

  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  SYSTEMTIME local_with_ms = kLocal;
  local_with_ms.wMilliseconds = 250;
  local_with_ms.wDayOfWeek = 6;  // not looked at: the host leaves the given record's at 0
  const XuPacket reply = Exchange(host, TimeRequest(110, local_with_ms, kUtc));
  EXPECT_EQ(reply.Opcode(), XU_OPCODE_SYSTEM_CONFIG);
  EXPECT_EQ(reply.Arg1(), kConfigArg1TimeZone);
  EXPECT_EQ(reply.Status(), 0);
  EXPECT_EQ(reply.ConfigCommand(), 110);
  ASSERT_TRUE(host.model.Clock());
  EXPECT_EQ(host.model.Clock()->zone_index, 110);
  EXPECT_EQ(host.model.Clock()->local, local_with_ms);
  EXPECT_EQ(host.model.Clock()->utc, kUtc);
  EXPECT_EQ(FileText(dir, "CLOCK.TXT"),
            "zone-index 110\n"
            "local 2024-03-31 03:30:00.250 day-of-week 6\n"
            "utc 2024-03-31 01:30:00.000 day-of-week 0\n");
}

TEST(FirmwareConfig, ZoneIndexesWithoutANameAndTimesThatAreNotValidAreRefused) {
  FirmwareHost host;
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  for (const std::int32_t index : {5, 301, -1}) {
    EXPECT_EQ(Exchange(host, TimeRequest(index, kLocal, kUtc)).Status(), kStatusInvalidArgument)
        << index;
  }
  const auto with = [](SYSTEMTIME time, WORD SYSTEMTIME::*field, WORD value) {
    time.*field = value;
    return time;
  };
  const SYSTEMTIME bad_times[] = {
      with(kLocal, &SYSTEMTIME::wMonth, 13),
      with(kLocal, &SYSTEMTIME::wMonth, 0),
      with(kLocal, &SYSTEMTIME::wDay, 0),
      with(kLocal, &SYSTEMTIME::wHour, 24),
      with(kLocal, &SYSTEMTIME::wMinute, 60),
      with(kLocal, &SYSTEMTIME::wSecond, 60),
      with(kLocal, &SYSTEMTIME::wMilliseconds, 1000),
      with(kLocal, &SYSTEMTIME::wYear, 1600),
      // 2023 is no leap year, and local time is never 15 hours from UTC.
      {2023, 2, 0, 29, 12, 0, 0, 0},
      with(kUtc, &SYSTEMTIME::wHour, 18),
  };
  for (const SYSTEMTIME& local : bad_times) {
    EXPECT_EQ(Exchange(host, TimeRequest(110, local, kUtc)).Status(), kStatusInvalidArgument);
    EXPECT_EQ(Exchange(host, TimeRequest(110, kUtc, local)).Status(), kStatusInvalidArgument);
  }
  EXPECT_FALSE(host.model.Clock());
  // A leap day, and times 14 hours apart, are times.
  EXPECT_EQ(
      Exchange(host, TimeRequest(300, {2024, 2, 0, 29, 14, 0, 0, 0}, {2024, 2, 0, 29, 0, 0, 0, 0}))
          .Status(),
      0);
  EXPECT_EQ(host.model.Clock()->zone_index, 300);
}

TEST(FirmwareConfig, RebootDropsTheLinkUnansweredAndTheResetForgetsTheHost) {
  FirmwareHost host;
  EXPECT_EQ(Exchange(host, CommandRequest(SYSCFG_CMD_REBOOT)).Status(), kStatusAccessDenied);
  EXPECT_FALSE(host.model.TakeDisconnect());

  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  ASSERT_EQ(Exchange(host, TimeRequest(110, kLocal, kUtc)).Status(), 0);
  for (const std::int32_t reboot : {SYSCFG_CMD_REBOOT, SYSCFG_CMD_REBOOT_M}) {
    const int interrupts = host.interrupts;
    ASSERT_EQ(host.Write(CommandRequest(reboot)), S_OK);
    EXPECT_EQ(host.interrupts, interrupts);  // no reply
    EXPECT_TRUE(host.model.TakeDisconnect());
    EXPECT_FALSE(host.model.TakeDisconnect());  // once
    host.model.ConnectionEnded();               // the link server's part of the reset
    // The authorisation has gone with the reset; the clock has not.
    EXPECT_EQ(Exchange(host, CommandRequest(SYSCFG_CMD_CFG_PARSE_RESULT)).Status(),
              kStatusAccessDenied);
    EXPECT_EQ(host.model.Clock()->zone_index, 110);
    EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  }
}

TEST(FirmwareConfig, ParseResultIsThatOfTheStoredConfigurationFile) {
  FirmwareHost host;
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  XuPacket reply = Exchange(host, CommandRequest(SYSCFG_CMD_CFG_PARSE_RESULT));
  EXPECT_EQ(reply.Arg1(), kConfigArg1Command);
  EXPECT_EQ(reply.ConfigCommand(), SYSCFG_CMD_CFG_PARSE_RESULT);
  EXPECT_EQ(reply.Status(), kStatusFileNotFound);

  const struct {
    std::string document;
    std::int32_t status;
  } cases[] = {
      {"<?xml version=\"1.0\"?><config><room name=\"A\"/></config>", 0},
      {"<config><room></config>", kStatusXmlParseError},
      {"<config/><config/>", kStatusXmlParseError},
      {"<config attr=unquoted/>", kStatusXmlParseError},
      {"", kStatusXmlParseError},
  };
  for (const auto& c : cases) {
    host.Upload(kConfigImageIndex, std::vector<std::uint8_t>(c.document.begin(), c.document.end()));
    EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
    reply = Exchange(host, CommandRequest(SYSCFG_CMD_CFG_PARSE_RESULT));
    EXPECT_EQ(reply.Status(), c.status) << c.document;
    EXPECT_EQ(reply.ValidationResult(), 0) << c.document;
  }
}

TEST(FirmwareConfig, UploadByNameTakesOnlyAStoredSlotFile) {
  test::TempDir dir;
  const FirmwareOptions options{.state_dir = dir.Path().string()};
  {
    FirmwareHost host(options);
    host.Upload(kConfigImageIndex, test::PatternBytes(1234));
    EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
    for (const char* name : {"NK.BIN", "NOSUCH.TXT", "", "QVCONFIG.XML.BAK"}) {
      EXPECT_EQ(Exchange(host, CommandRequest(SYSCFG_CMD_UPLOAD_FILE_BY_NAME, name)).Status(),
                kStatusFileNotFound)
          << name;
    }
    const XuPacket reply =
        Exchange(host, CommandRequest(SYSCFG_CMD_UPLOAD_FILE_BY_NAME, "qvconfig.xml"));
    EXPECT_EQ(reply.Status(), 0);
    EXPECT_EQ(reply.ConfigCommand(), SYSCFG_CMD_UPLOAD_FILE_BY_NAME);
    EXPECT_EQ(Exchange(host, CelogRequest(1)).Status(), 0);
    EXPECT_EQ(host.model.LogServerRecord(),
              (std::vector<std::string>{"QVCONFIG.XML (1234 bytes)", "CELOG (log flushed)"}));
  }
  // A restarted device goes on with the record it keeps.
  FirmwareHost restarted(options);
  EXPECT_EQ(Exchange(restarted, CelogRequest(0)).Status(), 0);
  EXPECT_EQ(FileText(dir, "LOGSERVER.TXT"),
            "QVCONFIG.XML (1234 bytes)\nCELOG (log flushed)\nCELOG\n");
}

TEST(FirmwareConfig, CelogUploadNeedsNoPasscodeAndOtherCommandsAreNotSupported) {
  FirmwareHost host;
  const XuPacket reply = Exchange(host, CelogRequest(0));
  EXPECT_EQ(reply.Opcode(), XU_OPCODE_DIAG_UPLOAD_CELOG);
  EXPECT_EQ(reply.Status(), 0);
  EXPECT_EQ(reply.UploadStatus(), 0);
  EXPECT_EQ(host.model.LogServerRecord(), std::vector<std::string>{"CELOG"});

  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  for (const std::int32_t command :
       {SYSCFG_CMD_AVS_CONFIG, SYSCFG_CMD_UPLOAD_FILE_BY_ID, SYSCFG_CMD_PUBLISH_SSL_PDF, 0, 99}) {
    EXPECT_EQ(Exchange(host, CommandRequest(command)).Status(), kStatusNotSupported) << command;
  }
}

TEST(FirmwareConfig, FaultsReplaceEachReplyFieldTheHostReads) {
  FirmwareOptions options;
  options.faults.config = {.status = 0x1234,
                           .arg1 = 7,
                           .command = 42,
                           .validation_result = static_cast<std::int32_t>(0x80070057),
                           .upload_status = 0x55,
                           .diag_server_reply = true};
  options.faults.failure_status[XU_OPCODE_DIAG_SERVER_CONFIG] = 0x66;
  FirmwareHost host(options);
  // The passcode's own replies are left alone.
  EXPECT_EQ(host.Validate("1234", XU_OPCODE_SYSTEM_CONFIG), 0);
  for (const XuPacket& request :
       {TimeRequest(110, kLocal, kUtc), CommandRequest(SYSCFG_CMD_CFG_PARSE_RESULT)}) {
    const XuPacket reply = Exchange(host, request);
    EXPECT_EQ(reply.Status(), 0x1234);
    EXPECT_EQ(reply.Arg1(), 7);
    EXPECT_EQ(reply.ConfigCommand(), 42);
  }
  EXPECT_EQ(Exchange(host, CommandRequest(SYSCFG_CMD_CFG_PARSE_RESULT)).ValidationResult(),
            static_cast<std::int32_t>(0x80070057));
  const XuPacket diag = Exchange(host, CelogRequest(0));
  EXPECT_EQ(diag.Opcode(), XU_OPCODE_DIAG_SERVER_CONFIG);
  EXPECT_EQ(diag.Status(), 0x66);
  EXPECT_EQ(diag.UploadStatus(), 0x55);
}

}  // namespace
}  // namespace hx::emu
