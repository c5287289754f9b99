#pragma once
// A recording (device/recording_format.h) read back into what a replay needs.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "device/recording_format.h"
#include "platform/hresult.h"

namespace hx::replay {

struct RecordedTransfer {
  TransferKind kind = TransferKind::kSet;
  std::uint8_t selector = 0;
  HRESULT result = S_OK;
  bool has_packet = false;  ///< false for a get that failed
  XuPacket packet;          ///< what the set wrote or the get read
  RedactedBytes redacted;   ///< bytes the recording left out of packet
};

struct Recording {
  std::string device_path;
  HRESULT open_result = S_OK;
  std::vector<RecordedTransfer> transfers;  ///< transfer n at index n - 1
  std::vector<std::uint64_t> interrupts;    ///< after how many started transfers each came
  bool complete = false;                    ///< it has its end record: the channel closed
};

/// The longest line read: a record is a few hundred bytes, a header's device path as long as
/// the system makes it. A file is hostile input, so nothing longer is ever held.
inline constexpr std::size_t kMaxRecordingLine = 4096;
/// The largest recording read, about what the transfer of a 200 MiB image makes; what is read
/// of it is held in about half its size.
inline constexpr std::uint64_t kMaxRecordingBytes = std::uint64_t{1} << 30;

/// Reads a recording a line at a time, from its text given whole or a piece at a time; what is
/// held of a line is bounded by kMaxRecordingLine.
class RecordingParser {
 public:
  /// A transfer with the number its record gave it, until all are read and put in order.
  using NumberedTransfer = std::pair<std::uint64_t, RecordedTransfer>;

  /// Reads into recording, emptied first.
  explicit RecordingParser(Recording& recording);
  RecordingParser(const RecordingParser&) = delete;
  RecordingParser& operator=(const RecordingParser&) = delete;

  /// The next piece of the text, cut anywhere; false once a line in it is wrong.
  bool Feed(std::string_view piece);
  /// After the last piece: false when the text was no whole recording.
  bool End();
  /// The line and what is wrong with it, or empty.
  const std::string& Problem() const { return problem_; }

 private:
  // A line and its '\r', and one byte more to show that a line goes on beyond the longest.
  static constexpr std::size_t kPendingLimit = kMaxRecordingLine + 2;

  void Line(std::string_view line);

  Recording& recording_;
  std::vector<NumberedTransfer> numbered_;
  std::string pending_;  // what has come of the line being read
  std::size_t line_number_ = 0;
  bool header_ = true;
  std::string problem_;
};

/// Reads a recording's text; false, with the line and what is wrong with it in problem, when
/// it is not a whole recording of this format.
bool ParseRecording(std::string_view text, Recording& recording, std::string& problem);

/// Reads the recording in the file at path, a piece at a time: S_OK; the system's failure when
/// the file cannot be read; E_FAIL, with problem, when it holds no recording or is larger than
/// kMaxRecordingBytes.
HRESULT ReadRecordingFile(const std::wstring& path, Recording& recording, std::string& problem);

}  // namespace hx::replay
