// Runs that nobody attends, as a fleet's scripts start them: the passcode from a file, the run
// log as JSON Lines, a limit on the device's silence; each variable checked before the device
// is touched.

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/http_test_server.h"
#include "support/process_runner.h"
#include "support/programs.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

class UnattendedRun : public ::testing::Test {
 protected:
  // A file of passcodes that only its owner may read.
  std::string PasscodeFile(const std::string& lines, mode_t mode = 0600) {
    const auto path = dir_.Write("passcodes-" + std::to_string(files_++), Bytes(lines));
    ::chmod(path.c_str(), mode);
    return path.string();
  }

  test::ProcessResult Run(const std::string& device, std::vector<std::string> args,
                          std::map<std::string, std::string> environment) {
    args.insert(args.begin(), test::HxBinary());
    environment["HX7300_DEVICE"] = device;
    environment["TZ"] = "Europe/Berlin";
    // Standard input is closed: no console is needed.
    return test::RunProcess({.argv = args, .set_environment = environment});
  }

  test::TempDir dir_;
  int files_ = 0;
};

TEST_F(UnattendedRun, EveryModeRunsFromAPasscodeFileAndLogsWhatTheSchemaDescribes) {
  test::HttpTestServer server(
      {{"/m.txt", Bytes("QVCONFIG.XML cfg.xml\n")}, {"/cfg.xml", Bytes("<config/>\n")}});
  ASSERT_TRUE(server.Started());
  test::EmulatorProcess emulator(test::EmulatorBinary(),
                                 {"--state-dir", (dir_.Path() / "state").string()});
  ASSERT_TRUE(emulator.Started());
  const std::string image = dir_.Write("image.xml", test::PatternBytes(10000)).string();
  const std::string log = (dir_.Path() / "run.log").string();
  const std::string once = PasscodeFile("1234\n");
  const struct {
    std::vector<std::string> args;
    std::string passcodes;
  } runs[] = {
      {{"-m:img", "-i:config", "-f:" + image}, once},
      {{"-m:netimg", "-s:127.0.0.1", "-p:" + std::to_string(server.Port()), "-u:m.txt"}, once},
      {{"-m:cfg", "-t:now"}, once},
      {{"-m:cfg", "-q:cfgparseresult"}, once},
      {{"-m:diag", "-l:flush"}, once},
      {{"-m:daa", "-r"}, once},
      // No line end after the last line: it is a line all the same.
      {{"-m:cfg", "-p"}, PasscodeFile("1234\r\n5678\n5678")},
      {{"-m:cfg", "-q:cfgparseresult"}, PasscodeFile("5678")},
  };
  for (const auto& run : runs) {
    const test::ProcessResult result =
        Run(emulator.Address(), run.args,
            {{"HX7300_PASSCODE_FILE", run.passcodes}, {"HX7300_LOG", log}});
    EXPECT_EQ(result.exit_status, 0) << run.args[0] << run.args[1] << result.stdout_bytes;
    EXPECT_EQ(result.stdout_bytes.find("passcode"), std::string::npos) << result.stdout_bytes;
    EXPECT_EQ(result.stderr_bytes, "");
  }
  EXPECT_EQ(test::ReadBytes(dir_.Path() / "state" / "QVCONFIG.XML"), Bytes("<config/>\n"));

  const test::ProcessResult checked = test::RunProcess(
      {.argv = {HX7300_SCHEMA_PYTHON, std::string(HX7300_SOURCE_DIR) + "/scripts/check-run-log.py",
                std::string(HX7300_SOURCE_DIR) + "/docs/run-log.schema.json", log}});
  EXPECT_EQ(checked.exit_status, 0) << checked.stdout_bytes << checked.stderr_bytes;
  const auto bytes = test::ReadBytes(log);
  const std::string records(bytes.begin(), bytes.end());
  EXPECT_EQ(Count(records, R"("type":"start")"), std::size(runs));
  EXPECT_EQ(Count(records, R"("version":")" HX7300_VERSION R"(")"), std::size(runs));
  EXPECT_EQ(Count(records, R"("exit_status":0,)"), std::size(runs));
  EXPECT_GT(Count(records, R"("type":"progress")"), 0u);
  EXPECT_NE(records.find(R"("bytes_sent":10000})"), std::string::npos);
  EXPECT_EQ(records.find("1234"), std::string::npos);
  EXPECT_EQ(records.find("5678"), std::string::npos);
}

TEST_F(UnattendedRun, WhatTheVariablesNameIsCheckedBeforeTheDeviceIsTouched) {
  // A run that touched this device would fail otherwise: it cannot be reached.
  const std::string unreachable = "unix:/nonexistent/hx7300.sock";
  const std::string shared = PasscodeFile("1234\n", 0644);
  const std::string missing = (dir_.Path() / "missing").string();
  const std::string log = (dir_.Path() / "no" / "run.log").string();
  const struct {
    std::map<std::string, std::string> environment;
    int status;
    std::string reason;
  } cases[] = {
      {{{"HX7300_PASSCODE_FILE", shared}},
       0x05,
       "HX7300_PASSCODE_FILE=" + shared +
           ": its permissions 0644 let others than its owner in; make it its owner's alone "
           "(chmod 600)"},
      {{{"HX7300_PASSCODE_FILE", missing}},
       0x02,
       "HX7300_PASSCODE_FILE=" + missing + ": cannot be read: No file exists with the given name."},
      {{{"HX7300_LOG", log}},
       0x02,
       "HX7300_LOG=" + log + ": cannot be written: No file exists with the given name."},
      {{{"HX7300_TIMEOUT", "0"}},
       0x57,
       "HX7300_TIMEOUT=0: the timeout must be a whole number of seconds from 1 to 86400"},
  };
  for (const auto& c : cases) {
    const test::ProcessResult result =
        Run(unreachable, {"-m:cfg", "-q:cfgparseresult"}, c.environment);
    EXPECT_EQ(result.exit_status, c.status) << c.reason;
    EXPECT_EQ(result.stdout_bytes, "");
    EXPECT_EQ(result.stderr_bytes, "hx7300: " + c.reason + "\n");
  }
}

TEST_F(UnattendedRun, TheTimeoutEndsEveryWaitForADeviceThatStopsAnswering) {
  const std::string passcodes = PasscodeFile("1234\n");
  const std::string image = dir_.Write("image.xml", test::PatternBytes(100)).string();
  const struct {
    const char* unanswered_opcode;
    std::vector<std::string> args;
  } cases[] = {
      {"13", {"-m:cfg", "-q:cfgparseresult"}},        // the passcode exchange
      {"5", {"-m:img", "-i:config", "-f:" + image}},  // the image transfer
      {"4", {"-m:netimg", "-s:127.0.0.1", "-u:m.txt"}},
      {"12", {"-m:diag", "-l"}},
  };
  for (const auto& c : cases) {
    test::EmulatorProcess emulator(test::EmulatorBinary(),
                                   {"--fault", std::string("no-reply=") + c.unanswered_opcode});
    ASSERT_TRUE(emulator.Started());
    const auto start = Clock::now();
    const test::ProcessResult result = Run(
        emulator.Address(), c.args, {{"HX7300_PASSCODE_FILE", passcodes}, {"HX7300_TIMEOUT", "1"}});
    EXPECT_EQ(result.exit_status, 0xB4) << c.args[0] << "\n" << result.stdout_bytes;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << c.args[0];
  }
}

}  // namespace
}  // namespace hx
