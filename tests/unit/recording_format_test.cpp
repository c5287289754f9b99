// A recording as written and read back: every field of every record, the passcode never in the
// file, and a file that is no whole recording refused with the line at fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "device/replay/recording_reader.h"
#include "device/transfer_recording.h"
#include "support/temp_file.h"

namespace hx {
namespace {

constexpr std::uint8_t kConfigSelector = 14;
constexpr HRESULT kStall = static_cast<HRESULT>(0x8007001Fu);

XuPacket PasscodeRequest(std::uint8_t arg1, const char* passcode) {
  XuPacket request;
  request.SetOpcode(13);
  request.SetArg1(arg1);
  request.SetLength(static_cast<std::uint8_t>(std::char_traits<char>::length(passcode)));
  SetFieldText(request.PasscodeText(), passcode);
  return request;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

TEST(RecordingFormat, OnlyThePasscodeAndItsLengthAreLeftOutOfPasscodeRequests) {
  RedactedBytes passcode;
  passcode.set(0);
  for (std::size_t i = 12; i < 28; ++i) {
    passcode.set(i);
  }
  const struct {
    std::uint8_t selector;
    std::uint8_t arg1;
    RedactedBytes secret;
  } cases[] = {
      {kConfigSelector, 2, passcode},  // validate
      {kConfigSelector, 3, passcode},  // change
      {kConfigSelector, 0, {}},        // the time and zone
      {kConfigSelector, 1, {}},        // a configuration command
      {5, 2, {}},                      // the same Arg1 on another control
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SecretBytes(c.selector, PasscodeRequest(c.arg1, "Secret9").Bytes()), c.secret)
        << int{c.selector} << "/" << int{c.arg1};
  }
}

TEST(RecordingFormat, WhatIsRecordedReadsBackAsItWasWithoutThePasscode) {
  test::TempDir dir;
  const auto path = dir.Path() / "run.jsonl";
  TransferRecording recording;
  ASSERT_EQ(recording.Open(path.wstring()), S_OK);
  recording.Header("usb#vid_f0c5&pid_e1a7&mi_03#\"quoted\"", S_OK);
  const XuPacket request = PasscodeRequest(2, "Secret9");
  recording.EndTransfer(TransferKind::kSet, kConfigSelector, recording.StartTransfer(),
                        request.Bytes(), S_OK);
  recording.Interrupt();
  XuPacket status;
  status.SetByte(0, 1);
  status.SetByte(4, 13);
  recording.EndTransfer(TransferKind::kGet, 1, recording.StartTransfer(), status.Bytes(), S_OK);
  recording.EndTransfer(TransferKind::kGet, kConfigSelector, recording.StartTransfer(),
                        status.Bytes(), kStall);
  recording.End();
  ASSERT_EQ(recording.WriteFailure(), S_OK);

  const std::string text = Text(test::ReadBytes(path));
  EXPECT_EQ(text.find("Secret9"), std::string::npos);
  EXPECT_EQ(text.find("53656372657439"), std::string::npos);  // its bytes as hex
  replay::Recording read;
  std::string problem;
  ASSERT_TRUE(replay::ParseRecording(text, read, problem)) << problem << "\n" << text;
  EXPECT_EQ(read.device_path, "usb#vid_f0c5&pid_e1a7&mi_03#\"quoted\"");
  EXPECT_EQ(read.open_result, S_OK);
  EXPECT_TRUE(read.complete);
  EXPECT_EQ(read.interrupts, std::vector<std::uint64_t>{1});
  ASSERT_EQ(read.transfers.size(), 3u);
  const replay::RecordedTransfer& set = read.transfers[0];
  EXPECT_EQ(set.kind, TransferKind::kSet);
  EXPECT_EQ(set.selector, kConfigSelector);
  EXPECT_EQ(set.redacted, SecretBytes(kConfigSelector, request.Bytes()));
  for (std::size_t i = 0; i < kXuPacketSize; ++i) {
    EXPECT_EQ(set.packet.Byte(i), set.redacted.test(i) ? 0 : request.Byte(i)) << i;
  }
  EXPECT_EQ(read.transfers[1].packet, status);
  EXPECT_TRUE(read.transfers[1].has_packet);
  EXPECT_EQ(read.transfers[2].result, kStall);
  EXPECT_FALSE(read.transfers[2].has_packet);  // a failed get's packet means nothing
}

TEST(RecordingFormat, WhatIsNoWholeRecordingIsRefusedWithTheLineAtFault) {
  const std::string header =
      R"({"type":"header","format":"hx7300-recording","version":1,"device":null,"open":"0x00000000"})"
      "\n";
  const std::string set = R"({"type":"set","n":1,"start_us":5,"end_us":9,"selector":7,"bytes":")" +
                          std::string(104, '0') + R"(","result":"0x00000000"})" + "\n";
  const struct {
    std::string text;
    std::string problem;
  } cases[] = {
      {"", "line 1: the file is empty"},
      {R"({"type":"header","format":5})", "line 1: not the header of an hx7300 recording"},
      {R"({"type":"header","format":"hx7300-recording","version":2})",
       "line 1: a recording of a version this program does not read"},
      {header + "[]\n", "line 2: not a JSON object"},
      {header + set + R"({"type":"flush"})", "line 3: a record of no known type"},
      {header + R"({"type":"get","n":1,"selector":1,"result":"0x00000000"})",
       "line 2: a transfer without the 52 bytes of its packet"},
      {header + R"({"type":"set","n":1,"selector":256,"bytes":"","result":"0x00000000"})",
       "line 2: a transfer without its number, selector or result"},
      {header + set + set, "transfer 2 is missing or given twice"},
      {header + set + R"({"type":"interrupt","t_us":1,"after":2})",
       "its interrupts come after transfers it does not hold"},
      {header + set.substr(0, 60), "line 2: not a JSON object"},  // cut in a record
      {header + std::string(replay::kMaxRecordingLine - 2, ' ') + "{}\r\n" + set,
       "line 2: a record of no known type"},
      {header + std::string(replay::kMaxRecordingLine - 1, ' ') + "{}\n" + set,
       "line 2: longer than 4096 bytes"},
      {header + std::string(3000, '['), "line 2: not a JSON object"},
  };
  for (const auto& c : cases) {
    replay::Recording recording;
    std::string problem;
    EXPECT_FALSE(replay::ParseRecording(c.text, recording, problem)) << c.text;
    EXPECT_EQ(problem, c.problem) << c.text;
  }
}

// A file is read a piece at a time: records that straddle two pieces read as the others do, and
// what is no recording is refused before it is read.
TEST(RecordingFormat, AFileIsReadWholeOrRefusedWithoutBeingHeld) {
  test::TempDir dir;
  const auto path = dir.Path() / "long.jsonl";
  constexpr std::size_t kTransfers = 1000;  // some 170 KB, over two pieces
  {
    TransferRecording recording;
    ASSERT_EQ(recording.Open(path.wstring()), S_OK);
    recording.Header("", S_OK);
    for (std::size_t i = 0; i < kTransfers; ++i) {
      XuPacket packet;
      packet.SetByte(i % kXuPacketSize, static_cast<std::uint8_t>(i));
      recording.EndTransfer(TransferKind::kSet, 7, recording.StartTransfer(), packet.Bytes(), S_OK);
    }
    recording.End();
  }
  const std::string text = Text(test::ReadBytes(path));
  const auto cut = dir.Write("cut.jsonl", test::ReadBytes(path));
  // Ten bytes into a line near the middle.
  const std::size_t cut_size = text.rfind('\n', text.size() / 2) + 11;
  std::filesystem::resize_file(cut, cut_size);
  const auto cut_line = std::count(text.begin(), text.begin() + cut_size, '\n') + 1;
  const auto huge = dir.Path() / "huge.jsonl";
  std::filesystem::copy_file(path, huge);
  std::filesystem::resize_file(huge, replay::kMaxRecordingBytes + 1);  // sparse: never read

  const struct {
    std::filesystem::path file;
    HRESULT result;
    std::string problem;
  } cases[] = {
      {path, S_OK, ""},
      {cut, E_FAIL, "line " + std::to_string(cut_line) + ": not a JSON object"},
      {huge, E_FAIL, "larger than the 1073741824 bytes a recording can be"},
      {dir.Path() / "missing.jsonl", static_cast<HRESULT>(0x80070002u), ""},
  };
  for (const auto& c : cases) {
    replay::Recording read;
    std::string problem;
    EXPECT_EQ(replay::ReadRecordingFile(c.file.wstring(), read, problem), c.result) << c.file;
    EXPECT_EQ(problem, c.problem) << c.file;
    if (SUCCEEDED(c.result)) {
      ASSERT_EQ(read.transfers.size(), kTransfers);
      for (std::size_t i = 0; i < kTransfers; ++i) {
        EXPECT_EQ(read.transfers[i].packet.Byte(i % kXuPacketSize), static_cast<std::uint8_t>(i));
      }
    }
  }
}

}  // namespace
}  // namespace hx
