#include "device/replay/recording_reader.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_view.h"

namespace hx::replay {
namespace {

using Json = nlohmann::json;

// A text field; empty when there is none (json's own value() would throw on another type).
std::string ReadText(const Json& record, const char* key) {
  const auto found = record.find(key);
  return found != record.end() && found->is_string() ? found->get<std::string>() : std::string();
}

bool ReadUnsigned(const Json& record, const char* key, std::uint64_t high, std::uint64_t& value) {
  const auto found = record.find(key);
  if (found == record.end() || !found->is_number_unsigned()) {
    return false;
  }
  value = found->get<std::uint64_t>();
  return value <= high;
}

// A result as the recording writes it, "0x" and eight hex digits.
bool ReadCode(const Json& record, const char* key, HRESULT& code) {
  const auto found = record.find(key);
  if (found == record.end() || !found->is_string()) {
    return false;
  }
  const auto& text = found->get_ref<const std::string&>();
  std::uint32_t value = 0;
  const char* const end = text.data() + text.size();
  if (text.size() != 10 || !text.starts_with("0x")) {
    return false;
  }
  const auto [stop, error] = std::from_chars(text.data() + 2, end, value, 16);
  code = static_cast<HRESULT>(value);
  return error == std::errc() && stop == end;
}

// The header's fields; what is wrong with it, or empty.
std::string ReadHeader(const Json& record, Recording& recording) {
  if (ReadText(record, "type") != "header" || ReadText(record, "format") != kRecordingFormat) {
    return "not the header of an hx7300 recording";
  }
  std::uint64_t version = 0;
  if (!ReadUnsigned(record, "version", kRecordingVersion, version) ||
      version != kRecordingVersion) {
    return "a recording of a version this program does not read";
  }
  const auto device = record.find("device");
  if (device == record.end() || !(device->is_null() || device->is_string()) ||
      !ReadCode(record, "open", recording.open_result)) {
    return "a header without its device and open result";
  }
  recording.device_path = device->is_string() ? device->get<std::string>() : std::string();
  return {};
}

std::string ReadTransfer(const Json& record, TransferKind kind,
                         std::vector<RecordingParser::NumberedTransfer>& transfers) {
  RecordedTransfer transfer;
  transfer.kind = kind;
  std::uint64_t number = 0;
  std::uint64_t selector = 0;
  if (!ReadUnsigned(record, "n", UINT64_MAX, number) || number == 0 ||
      !ReadUnsigned(record, "selector", 0xFF, selector) ||
      !ReadCode(record, "result", transfer.result)) {
    return "a transfer without its number, selector or result";
  }
  transfer.selector = static_cast<std::uint8_t>(selector);
  transfer.has_packet = kind == TransferKind::kSet || SUCCEEDED(transfer.result);
  if (transfer.has_packet) {
    const auto bytes = record.find("bytes");
    if (bytes == record.end() || !bytes->is_string() ||
        !ParsePacketHex(bytes->get_ref<const std::string&>(), transfer.packet, transfer.redacted)) {
      return "a transfer without the 52 bytes of its packet";
    }
  }
  transfers.emplace_back(number, transfer);
  return {};
}

// One record after the header; what is wrong with it, or empty.
std::string ReadRecord(const Json& record, Recording& recording,
                       std::vector<RecordingParser::NumberedTransfer>& transfers) {
  const std::string type = ReadText(record, "type");
  if (type == TransferName(TransferKind::kSet)) {
    return ReadTransfer(record, TransferKind::kSet, transfers);
  }
  if (type == TransferName(TransferKind::kGet)) {
    return ReadTransfer(record, TransferKind::kGet, transfers);
  }
  if (type == "interrupt") {
    std::uint64_t after = 0;
    if (!ReadUnsigned(record, "after", UINT64_MAX, after)) {
      return "an interrupt without the count of transfers before it";
    }
    recording.interrupts.push_back(after);
    return {};
  }
  if (type == "end") {
    recording.complete = true;
    return {};
  }
  return "a record of no known type";
}

// The transfers in the order of their numbers, which must run from 1 without a gap; the
// interrupts in order, none after more transfers than there are.
std::string PutInOrder(std::vector<RecordingParser::NumberedTransfer>& numbered,
                       Recording& recording) {
  std::ranges::sort(numbered, {}, &RecordingParser::NumberedTransfer::first);
  for (std::size_t i = 0; i < numbered.size(); ++i) {
    if (numbered[i].first != i + 1) {
      return "transfer " + std::to_string(i + 1) + " is missing or given twice";
    }
    recording.transfers.push_back(numbered[i].second);
  }
  if (!std::ranges::is_sorted(recording.interrupts) ||
      (!recording.interrupts.empty() && recording.interrupts.back() > numbered.size())) {
    return "its interrupts come after transfers it does not hold";
  }
  return {};
}

}  // namespace

RecordingParser::RecordingParser(Recording& recording) : recording_(recording) {
  recording_ = Recording{};
}

bool RecordingParser::Feed(std::string_view piece) {
  while (problem_.empty() && !piece.empty()) {
    const std::size_t end = piece.find('\n');
    const std::string_view part = piece.substr(0, end);
    pending_.append(part.substr(0, std::min(part.size(), kPendingLimit - pending_.size())));
    if (end == std::string_view::npos) {
      break;
    }
    piece.remove_prefix(end + 1);
    Line(pending_);
    pending_.clear();
  }
  return problem_.empty();
}

bool RecordingParser::End() {
  // The last line may lack its end.
  if (problem_.empty() && !pending_.empty()) {
    Line(pending_);
  }
  if (problem_.empty() && header_) {
    problem_ = "line 1: the file is empty";
  }
  if (problem_.empty()) {
    problem_ = PutInOrder(numbered_, recording_);
  }
  return problem_.empty();
}

void RecordingParser::Line(std::string_view line) {
  ++line_number_;
  if (line.ends_with('\r')) {
    line.remove_suffix(1);
  }
  std::string what = "longer than " + std::to_string(kMaxRecordingLine) + " bytes";
  if (line.size() <= kMaxRecordingLine) {
    const Json record = Json::parse(line, nullptr, false);
    what = "not a JSON object";
    if (record.is_object()) {
      what = header_ ? ReadHeader(record, recording_) : ReadRecord(record, recording_, numbered_);
    }
  }
  if (!what.empty()) {
    problem_ = "line " + std::to_string(line_number_) + ": " + what;
  }
  header_ = false;
}

bool ParseRecording(std::string_view text, Recording& recording, std::string& problem) {
  RecordingParser parser(recording);
  const bool whole = parser.Feed(text) && parser.End();
  problem = parser.Problem();
  return whole;
}

HRESULT ReadRecordingFile(const std::wstring& path, Recording& recording, std::string& problem) {
  constexpr std::size_t kPieceSize = std::size_t{64} * 1024;
  CReadOnlyFileView file;
  std::uint64_t size = 0;
  HRESULT hr = file.Open(path.c_str());
  if (SUCCEEDED(hr)) {
    hr = file.QuerySize(size);
  }
  if (SUCCEEDED(hr) && size > kMaxRecordingBytes) {
    problem = "larger than the " + std::to_string(kMaxRecordingBytes) + " bytes a recording can be";
    return E_FAIL;
  }
  // An empty file cannot be viewed; the parser names it.
  if (SUCCEEDED(hr) && size != 0) {
    hr = file.MapView();
  }
  RecordingParser parser(recording);
  std::vector<std::uint8_t> piece(kPieceSize);
  for (std::uint64_t at = 0; SUCCEEDED(hr) && at < size; at += piece.size()) {
    piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, size - at)));
    hr = file.CopyOut(at, piece);
    if (SUCCEEDED(hr) &&
        !parser.Feed(std::string_view(reinterpret_cast<const char*>(piece.data()), piece.size()))) {
      break;
    }
  }
  if (FAILED(hr)) {
    return hr;
  }
  const bool whole = parser.Problem().empty() && parser.End();
  problem = parser.Problem();
  return whole ? S_OK : E_FAIL;
}

}  // namespace hx::replay
