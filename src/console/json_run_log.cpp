#include "console/json_run_log.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace hx {
namespace {

using Record = nlohmann::ordered_json;
constexpr auto kProgressInterval = std::chrono::seconds(1);

// The moment as UTC in ISO 8601 with milliseconds, from the calendar alone (no C library
// conversion, whose thread safety differs between systems).
std::string Timestamp(std::chrono::system_clock::time_point now) {
  using namespace std::chrono;
  const auto day = floor<days>(now);
  const year_month_day date{day};
  const hh_mm_ss time{floor<milliseconds>(now - day)};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

std::string CodeText(HRESULT code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

Record Begin(const char* type) {
  Record record;
  record["type"] = type;
  record["time"] = Timestamp(std::chrono::system_clock::now());
  return record;
}

}  // namespace

HRESULT JsonRunLog::Open(const std::wstring& path) {
  return file_.Open(path);
}

HRESULT JsonRunLog::WriteFailure() const {
  std::lock_guard lock(mutex_);
  return write_failure_;
}

void JsonRunLog::Start(const RunStart& start) {
  started_ = std::chrono::steady_clock::now();
  Record record = Begin("start");
  record["schema"] = kRunLogSchemaVersion;
  record["program"] = program_;
  record["version"] = version_;
  record["mode"] = start.mode;
  record["options"] = Record::object();
  for (const auto& [name, value] : start.options) {
    record["options"][name] = value;
  }
  record["device"] = start.device ? Record(*start.device) : Record(nullptr);
  Write(record.dump(-1, ' ', false, Record::error_handler_t::replace));
}

void JsonRunLog::Stage(std::string_view line) {
  Record record = Begin("stage");
  record["text"] = line;
  Write(record.dump(-1, ' ', false, Record::error_handler_t::replace));
}

void JsonRunLog::DeviceMessage(std::string_view text) {
  Record record = Begin("device_message");
  record["text"] = text;
  Write(record.dump(-1, ' ', false, Record::error_handler_t::replace));
}

void JsonRunLog::Failure(std::string_view context, HRESULT code, std::string_view text) {
  Record record = Begin("failure");
  record["context"] = context;
  record["code"] = CodeText(code);
  record["message"] = text;
  Write(record.dump(-1, ' ', false, Record::error_handler_t::replace));
}

void JsonRunLog::Progress(const RunProgress& progress) {
  const auto now = std::chrono::steady_clock::now();
  const bool last = progress.percent >= 100 || (progress.block && progress.total_blocks &&
                                                *progress.block >= *progress.total_blocks);
  Record record = Begin("progress");
  {
    std::lock_guard lock(mutex_);
    if (progress_written_ && now - last_progress_ < kProgressInterval && !last) {
      return;
    }
    progress_written_ = true;
    last_progress_ = now;
    record["bytes"] = bytes_sent_;
  }
  if (progress.block && progress.total_blocks) {
    record["block"] = *progress.block;
    record["blocks"] = *progress.total_blocks;
  }
  record["percent"] = progress.percent;
  Write(record.dump(-1, ' ', false, Record::error_handler_t::replace));
}

void JsonRunLog::Sent(std::uint64_t bytes) {
  std::lock_guard lock(mutex_);
  bytes_sent_ += bytes;
}

void JsonRunLog::End(HRESULT result, int exit_status) {
  Record record = Begin("end");
  record["result"] = CodeText(result);
  record["exit_status"] = exit_status;
  record["duration_ms"] = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - started_)
                              .count();
  {
    std::lock_guard lock(mutex_);
    record["bytes_sent"] = bytes_sent_;
  }
  Write(record.dump(-1, ' ', false, Record::error_handler_t::replace));
}

void JsonRunLog::Write(const std::string& record) {
  std::lock_guard lock(mutex_);
  if (FAILED(write_failure_)) {
    return;
  }
  write_failure_ = file_.Append(record + "\n");
}

}  // namespace hx
