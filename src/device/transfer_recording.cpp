#include "device/transfer_recording.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <concepts>
#include <cstring>
#include <nlohmann/json.hpp>
#include <span>
#include <string_view>

namespace hx {
namespace {

// A record built in place: a recording writes one for every data packet of an image transfer,
// which must not cost a heap allocation each. Every record fits with room to spare; a piece
// that would not is cut to fit.
class RecordLine {
 public:
  RecordLine& Text(std::string_view text) {
    const std::size_t count = std::min(text.size(), Room());
    std::memcpy(text_.data() + size_, text.data(), count);
    size_ += count;
    return *this;
  }
  template <std::integral Number>
  RecordLine& Decimal(Number value) {
    const auto [end, error] =
        std::to_chars(text_.data() + size_, text_.data() + text_.size(), value);
    if (error == std::errc()) {
      size_ = static_cast<std::size_t>(end - text_.data());
    }
    return *this;
  }
  // As "0x" and eight hex digits, as results are written everywhere else.
  RecordLine& Code(HRESULT code) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<char, 10> text{'0', 'x'};
    const auto value = static_cast<std::uint32_t>(code);
    for (std::size_t i = 0; i < 8; ++i) {
      text[2 + i] = kDigits[(value >> (28 - 4 * i)) & 0x0F];
    }
    return Text(std::string_view(text.data(), text.size()));
  }
  RecordLine& Packet(XuConstBytes packet, const RedactedBytes& redacted) {
    if (Room() >= kPacketHexSize) {
      WritePacketHex(packet, redacted, std::span(text_).subspan(size_).first<kPacketHexSize>());
      size_ += kPacketHexSize;
    }
    return *this;
  }
  std::string_view Line() const { return {text_.data(), size_}; }

 private:
  std::size_t Room() const { return text_.size() - size_; }

  std::array<char, 384> text_{};
  std::size_t size_ = 0;
};

}  // namespace

HRESULT TransferRecording::Open(const std::wstring& path) {
  began_ = std::chrono::steady_clock::now();
  return file_.Open(path, platform::CAppendFile::Start::kEmpty);
}

HRESULT TransferRecording::WriteFailure() const {
  std::lock_guard lock(mutex_);
  return write_failure_;
}

void TransferRecording::Header(const std::string& device_path, HRESULT open_result) {
  nlohmann::ordered_json record;
  record["type"] = "header";
  record["format"] = kRecordingFormat;
  record["version"] = kRecordingVersion;
  record["device"] =
      device_path.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(device_path);
  record["open"] = RecordLine().Code(open_result).Line();
  std::string line = record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  line.push_back('\n');
  std::lock_guard lock(mutex_);
  Write(line);
}

TransferRecording::TransferStart TransferRecording::StartTransfer() {
  const std::int64_t now = Microseconds();
  std::lock_guard lock(mutex_);
  return {++started_, now};
}

void TransferRecording::EndTransfer(TransferKind kind, std::uint8_t selector, TransferStart start,
                                    XuConstBytes packet, HRESULT result) {
  RecordLine record;
  record.Text(R"({"type":")").Text(TransferName(kind)).Text(R"(","n":)").Decimal(start.number);
  record.Text(R"(,"start_us":)").Decimal(start.start_us).Text(R"(,"end_us":)");
  record.Decimal(Microseconds()).Text(R"(,"selector":)").Decimal(unsigned{selector});
  if (kind == TransferKind::kSet || SUCCEEDED(result)) {
    record.Text(R"(,"bytes":")").Packet(packet, SecretBytes(selector, packet)).Text(R"(")");
  }
  record.Text(R"(,"result":")").Code(result).Text("\"}\n");
  std::lock_guard lock(mutex_);
  Write(record.Line());
}

void TransferRecording::Interrupt() {
  const std::int64_t now = Microseconds();
  std::lock_guard lock(mutex_);
  RecordLine record;
  record.Text(R"({"type":"interrupt","t_us":)").Decimal(now).Text(R"(,"after":)");
  Write(record.Decimal(started_).Text("}\n").Line());
}

void TransferRecording::End() {
  RecordLine record;
  record.Text(R"({"type":"end","t_us":)").Decimal(Microseconds()).Text("}\n");
  std::lock_guard lock(mutex_);
  Write(record.Line());
}

std::int64_t TransferRecording::Microseconds() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               began_)
      .count();
}

// Called with the mutex held. After the first failure nothing more is written: a recording
// with a hole in it would replay as a device that did something else.
void TransferRecording::Write(std::string_view line) {
  if (SUCCEEDED(write_failure_)) {
    write_failure_ = file_.Append(line);
  }
}

}  // namespace hx
