#include "model/commit_journal.h"

#include <array>
#include <cstdio>
#include <optional>
#include <vector>

#include "model/content_digest.h"
#include "protocol/image_slots.h"

namespace hx::emu {
namespace {

// Thirteen lines of two names at most and the last line: a larger file is no record of ours.
constexpr std::size_t kMaxRecordBytes = 2048;

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A line "STAGED SLOT" per rename, then "commit N DIGEST": the number of renames and the digest
// of the lines before, so that a record cut short anywhere is told from a whole one.
std::string RecordText(std::span<const std::uint8_t> slots) {
  std::string lines;
  for (const std::uint8_t slot : slots) {
    lines += UpdateStagingName(slot) + " " + ImageSlotTable[slot].device_file + "\n";
  }
  ContentDigest digest;
  digest.Add(Bytes(lines));
  std::array<char, 17> hex{};
  std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(digest.Value()));
  return lines + "commit " + std::to_string(slots.size()) + " " + hex.data() + "\n";
}

// The slots a record names, in its order; nullopt unless it is exactly a record this device
// writes.
std::optional<std::vector<std::uint8_t>> ParseRecord(std::string_view text) {
  std::vector<std::uint8_t> slots;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    const std::string_view line = text.substr(start, end - start);
    const std::size_t blank = line.find(' ');
    const std::string_view slot_name =
        blank == std::string_view::npos ? std::string_view() : line.substr(blank + 1);
    for (std::size_t i = 0; i < ImageSlotTable.size(); ++i) {
      if (slot_name == ImageSlotTable[i].device_file) {
        slots.push_back(static_cast<std::uint8_t>(i));
      }
    }
    start = end == std::string_view::npos ? text.size() : end + 1;
  }
  if (RecordText(slots) != text) {
    return std::nullopt;
  }
  return slots;
}

// The record's text; nullopt when there is none. A record too long to be one of ours reads as
// its first kMaxRecordBytes + 1 bytes, which no record is.
std::optional<std::string> ReadRecord(const CStateDirectory& dir, HRESULT& hr) {
  CStateFileReader reader;
  hr = dir.OpenForReading(kCommitRecordFile, reader);
  if (FAILED(hr)) {
    return std::nullopt;
  }
  std::string text;
  std::array<std::uint8_t, 512> block{};
  for (std::size_t got = 1; got != 0 && text.size() <= kMaxRecordBytes;) {
    hr = reader.Read(block, got);
    if (FAILED(hr)) {
      return std::nullopt;
    }
    text.append(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
  }
  return text;
}

// Removes the record for good: a removal lost in a crash would bring a record back whose
// renames a later update's staged images could be taken for.
bool RemoveRecord(CStateDirectory& dir) {
  return SUCCEEDED(dir.Remove(kCommitRecordFile)) && SUCCEEDED(dir.Sync());
}

void PauseAt(const CommitPause& pause, CommitStep step) {
  if (pause) {
    pause(step);
  }
}

}  // namespace

std::string_view CommitStepName(CommitStep step) {
  switch (step) {
    case CommitStep::kBeforeRecord:
      return "before-record";
    case CommitStep::kAfterRecord:
      return "after-record";
    case CommitStep::kBetweenRenames:
      return "between-renames";
    case CommitStep::kAfterRenames:
      return "after-renames";
  }
  return {};
}

std::string UpdateStagingName(std::uint8_t index) {
  return std::string(ImageSlotTable[index].device_file) + ".NEW";
}

RecordOutcome CompleteRecordedCommit(CStateDirectory& dir, const CommitPause& pause) {
  HRESULT hr = S_OK;
  const std::optional<std::string> text = ReadRecord(dir, hr);
  if (hr == HresultFromError(kErrorFileNotFound)) {
    return RecordOutcome::kNone;
  }
  const auto slots = text ? ParseRecord(*text) : std::nullopt;
  if (!slots) {
    return RemoveRecord(dir) ? RecordOutcome::kTorn : RecordOutcome::kFailed;
  }
  for (std::size_t i = 0; i < slots->size(); ++i) {
    const std::string staged = UpdateStagingName((*slots)[i]);
    // A staged image that is gone was renamed before the device stopped.
    if (dir.Inspect(staged) == CStateDirectory::EntryKind::kFile &&
        FAILED(dir.Replace(staged, ImageSlotTable[(*slots)[i]].device_file))) {
      return RecordOutcome::kFailed;
    }
    if (i + 1 < slots->size()) {
      PauseAt(pause, CommitStep::kBetweenRenames);
    }
  }
  if (FAILED(dir.Sync())) {
    return RecordOutcome::kFailed;
  }
  PauseAt(pause, CommitStep::kAfterRenames);
  return RemoveRecord(dir) ? RecordOutcome::kCompleted : RecordOutcome::kFailed;
}

CommitOutcome CommitStaged(CStateDirectory& dir, std::span<const std::uint8_t> slots,
                           const CommitPause& pause) {
  PauseAt(pause, CommitStep::kBeforeRecord);
  const std::string text = RecordText(slots);
  CStateFile record;
  const bool recorded = SUCCEEDED(dir.Create(kCommitRecordFile, record)) &&
                        SUCCEEDED(record.Write(Bytes(text))) && SUCCEEDED(record.Sync()) &&
                        SUCCEEDED(record.Close()) && SUCCEEDED(dir.Sync());
  if (!recorded) {
    record.Close();
    // A record that may be whole on the disk stays, and so do the images it names.
    return RemoveRecord(dir) ? CommitOutcome::kNotBegun : CommitOutcome::kCutShort;
  }
  PauseAt(pause, CommitStep::kAfterRecord);
  return CompleteRecordedCommit(dir, pause) == RecordOutcome::kCompleted ? CommitOutcome::kCommitted
                                                                         : CommitOutcome::kCutShort;
}

}  // namespace hx::emu
