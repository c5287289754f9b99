#include "model/slot_store.h"

namespace hx::emu {

bool SlotStore::Begin(std::uint8_t index) {
  Discard();
  if (index >= ImageSlotTable.size()) {
    return false;
  }
  if (state_dir_ != nullptr &&
      FAILED(state_dir_->Create(ImageSlotTable[index].temporary_file, staged_file_))) {
    return false;
  }
  staging_ = index;
  return true;
}

bool SlotStore::Append(std::span<const std::uint8_t> bytes) {
  if (!staging_) {
    return false;
  }
  if (state_dir_ == nullptr) {
    staged_.insert(staged_.end(), bytes.begin(), bytes.end());
    return true;
  }
  return SUCCEEDED(staged_file_.Write(bytes));
}

bool SlotStore::Publish() {
  if (!staging_) {
    return false;
  }
  const std::uint8_t index = *staging_;
  const ImageSlot& slot = ImageSlotTable[index];
  if (state_dir_ == nullptr) {
    memory_[index] = std::make_shared<const Bytes>(std::move(staged_));
    Discard();
    Committed(index);
    return true;
  }
  // Synced before the rename, which replaces the old file in one step: a reader, and a device
  // that stops at any moment, sees the old image or the whole new one.
  const bool published = SUCCEEDED(staged_file_.Sync()) && SUCCEEDED(staged_file_.Close()) &&
                         SUCCEEDED(state_dir_->Replace(slot.temporary_file, slot.device_file));
  Discard();
  if (published) {
    Committed(index);
  }
  return published;
}

void SlotStore::Discard() {
  if (staging_ && state_dir_ != nullptr) {
    staged_file_.Close();
    state_dir_->Remove(ImageSlotTable[*staging_].temporary_file);
  }
  staged_.clear();
  staged_.shrink_to_fit();
  staging_.reset();
}

std::unique_ptr<StagedImages> SlotStore::StageImages(std::optional<std::uint64_t> space) {
  if (state_dir_ != nullptr) {
    switch (CompleteRecordedCommit(*state_dir_)) {
      case RecordOutcome::kFailed:
        return nullptr;
      case RecordOutcome::kCompleted:
        for (std::size_t index = 0; index < ImageSlotTable.size(); ++index) {
          Committed(static_cast<std::uint8_t>(index));
        }
        break;
      case RecordOutcome::kNone:
      case RecordOutcome::kTorn:
        break;
    }
  }
  return std::make_unique<StagedImages>(state_dir_, space);
}

bool SlotStore::Commit(StagedImages& staged, const CommitPause& pause) {
  if (staged.Slots().empty() || !staged.Seal()) {
    staged.Discard();
    return false;
  }
  if (state_dir_ == nullptr) {
    for (std::size_t i = 0; i < staged.Slots().size(); ++i) {
      memory_[staged.Slots()[i]] = std::make_shared<const Bytes>(std::move(staged.memory_[i]));
    }
  } else {
    switch (CommitStaged(*state_dir_, staged.Slots(), pause)) {
      case CommitOutcome::kCommitted:
        break;
      case CommitOutcome::kNotBegun:
        staged.Discard();
        return false;
      case CommitOutcome::kCutShort:
        staged.Release();
        return false;
    }
  }
  for (const std::uint8_t index : staged.Slots()) {
    Committed(index);
  }
  staged.Release();
  return true;
}

std::optional<SlotReader> SlotStore::Open(std::uint8_t index) const {
  if (index >= ImageSlotTable.size()) {
    return std::nullopt;
  }
  if (state_dir_ == nullptr) {
    return memory_[index] == nullptr ? std::nullopt : std::optional(SlotReader(memory_[index]));
  }
  CStateFileReader file;
  if (FAILED(state_dir_->OpenForReading(ImageSlotTable[index].device_file, file))) {
    return std::nullopt;
  }
  return SlotReader(std::move(file));
}

std::optional<std::uint64_t> SlotStore::Size(std::uint8_t index) const {
  const std::optional<SlotReader> reader = Open(index);
  return reader ? reader->Size() : std::nullopt;
}

std::optional<std::vector<std::uint8_t>> SlotStore::Contents(std::uint8_t index) const {
  if (index >= ImageSlotTable.size()) {
    return std::nullopt;
  }
  if (state_dir_ == nullptr) {
    return memory_[index] == nullptr ? std::nullopt : std::optional(*memory_[index]);
  }
  std::vector<std::uint8_t> contents;
  if (FAILED(state_dir_->Read(ImageSlotTable[index].device_file, contents))) {
    return std::nullopt;
  }
  return contents;
}

void SlotStore::Committed(std::uint8_t index) {
  if (committed_) {
    committed_(index);
  }
}

}  // namespace hx::emu
