// Whole runs of the utility in this process, recorded through HX7300_RECORD on the in-process
// virtual HX7300 and played back through HX7300_DEVICE=replay:: the same console and result
// without the device, though the image transfer and the network update use two threads; no
// passcode in the recording; and the first transfer that departs from it a failure that names it.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/entry.h"
#include "support/environment.h"
#include "support/recording_console.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using test::ScopedEnvironmentVariable;

struct Outcome {
  HRESULT result;
  std::string output;
  std::string errors;
};

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line);
  }
  return lines;
}

void WriteLines(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  std::ofstream file(path);
  for (const std::string& line : lines) {
    file << line << "\n";
  }
}

std::string ByteText(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

class RecordedRun : public ::testing::Test {
 protected:
  test::TempDir dir_;
  const std::filesystem::path recording_ = dir_.Path() / "run.jsonl";
  const std::wstring image_ =
      dir_.Write("qvconfig.xml", test::PatternBytes(3 * 4080 + 7)).wstring();

  /// The run of args (after the program name) on device, with passcodes typed at its prompts
  /// and, when record is set, recorded.
  Outcome Run(const std::string& device, const std::vector<std::wstring>& args,
              const std::vector<std::wstring>& passcodes, bool record) {
    const ScopedEnvironmentVariable device_variable("HX7300_DEVICE", device);
    const ScopedEnvironmentVariable record_variable(
        "HX7300_RECORD", record ? std::optional(recording_.string()) : std::nullopt);
    test::RecordingConsole console;
    const ScopedConsole scoped(console);
    for (const std::wstring& passcode : passcodes) {
      console.QueueHiddenLine(passcode);
    }
    std::vector<const wchar_t*> arguments = {L"hx7300"};
    for (const std::wstring& arg : args) {
      arguments.push_back(arg.c_str());
    }
    const HRESULT result = RunEntry(arguments);
    return {result, console.Output(), console.Errors()};
  }

  Outcome Replay(const std::filesystem::path& recording, const std::vector<std::wstring>& args,
                 const std::vector<std::wstring>& passcodes) {
    return Run("replay:" + recording.string(), args, passcodes, false);
  }
};

TEST_F(RecordedRun, AReplayShowsWhatTheRecordedRunShowedAndEndsAsItEnded) {
  const struct {
    std::vector<std::wstring> args;
    std::vector<std::wstring> typed;
    std::vector<std::wstring> typed_in_replay;  // the passcodes are not in the recording
  } runs[] = {
      {{L"-m:img", L"-i:config", L"-f:" + image_}, {L"1234"}, {L"0000"}},
      // Without an HTTP client the in-process device fails the update at its first stage.
      {{L"-m:netimg", L"-s:127.0.0.1", L"-u:m.txt"}, {L"1234"}, {L"1"}},
      {{L"-m:cfg", L"-q:cfgparseresult"}, {L"1234"}, {L"1234"}},
      {{L"-m:diag", L"-l:flush"}, {}, {}},
      {{L"-m:daa", L"-r"}, {}, {}},
      {{L"-m:cfg", L"-p"}, {L"1234", L"Secret9", L"Secret9"}, {L"9", L"Other8", L"Other8"}},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(std::string(run.args[0].begin(), run.args[0].end()));
    const Outcome recorded = Run("emulator", run.args, run.typed, true);
    const Outcome replayed = Replay(recording_, run.args, run.typed_in_replay);
    EXPECT_EQ(replayed.result, recorded.result);
    EXPECT_EQ(replayed.output, recorded.output);
    EXPECT_EQ(recorded.errors, "");
    EXPECT_EQ(replayed.errors, "");
  }
  // The last run changed the passcode: neither passcode is in its recording, as text or bytes.
  const auto bytes = test::ReadBytes(recording_);
  const std::string text(bytes.begin(), bytes.end());
  for (const char* secret : {"31323334", "Secret9", "53656372657439"}) {
    EXPECT_EQ(text.find(secret), std::string::npos) << secret;
  }
  EXPECT_NE(text.find("**"), std::string::npos);
}

TEST_F(RecordedRun, TheFirstDepartureFromTheRecordingFailsItsTransferAndNamesIt) {
  const std::vector<std::wstring> img = {L"-m:img", L"-i:config", L"-f:" + image_};
  ASSERT_EQ(Run("emulator", img, {L"1234"}, true).result, S_OK);
  const std::vector<std::string> lines = Lines(recording_);
  // The first data packet of the image, and byte 20 of it, which the run sends as recorded.
  std::size_t data_line = 0;
  while (lines.at(data_line).find(R"("selector":7,)") == std::string::npos) {
    ++data_line;
  }
  auto record = nlohmann::json::parse(lines[data_line]);
  std::string bytes = record["bytes"];
  const int sent = std::stoi(bytes.substr(40, 2), nullptr, 16);
  bytes.replace(40, 2, ByteText(sent ^ 0xFF).substr(2));
  record["bytes"] = bytes;
  std::vector<std::string> changed = lines;
  changed[data_line] = record.dump();
  std::size_t first_set = 0;
  while (lines.at(first_set).find(R"("type":"set")") == std::string::npos) {
    ++first_set;
  }

  const struct {
    std::vector<std::string> recording;  // lines
    std::vector<std::wstring> args;
    std::string line;
  } cases[] = {
      {changed, img,
       "hx7300: replay: transfer " + std::to_string(record["n"].get<int>()) +
           " (set, selector 7) differs from the recording at byte 20: " + ByteText(sent) +
           " sent, " + ByteText(sent ^ 0xFF) + " recorded"},
      // Cut short after the passcode request: the run waits for its reply's interrupt, which
      // the recording ends before.
      {{lines[0], lines[first_set]},
       img,
       "hx7300: replay: the recording ends after transfer 1, before the run's transfer 2 (get, "
       "selector 1)"},
      {lines,
       {L"-m:daa", L"-r"},
       "hx7300: replay: the run's transfer 1 (set, selector 16) is not in the recording, which "
       "holds no further set on selector 16"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const auto edited = dir_.Path() / "edited.jsonl";
    WriteLines(edited, c.recording);
    const Outcome replayed = Replay(edited, c.args, {L"1234"});
    EXPECT_EQ(replayed.result, kHrDeviceNotConnected);
    EXPECT_EQ(replayed.errors, c.line + "\n");
  }
}

}  // namespace
}  // namespace hx
