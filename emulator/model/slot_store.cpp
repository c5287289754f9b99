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
  const ImageSlot& slot = ImageSlotTable[*staging_];
  if (state_dir_ == nullptr) {
    memory_[*staging_] = std::move(staged_);
    Discard();
    return true;
  }
  // The rename replaces the old file in one step: a reader sees the old image or the new one.
  const bool published = SUCCEEDED(staged_file_.Close()) &&
                         SUCCEEDED(state_dir_->Replace(slot.temporary_file, slot.device_file));
  Discard();
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

std::optional<std::vector<std::uint8_t>> SlotStore::Contents(std::uint8_t index) const {
  if (index >= ImageSlotTable.size()) {
    return std::nullopt;
  }
  if (state_dir_ == nullptr) {
    return memory_[index];
  }
  std::vector<std::uint8_t> contents;
  if (FAILED(state_dir_->Read(ImageSlotTable[index].device_file, contents))) {
    return std::nullopt;
  }
  return contents;
}

}  // namespace hx::emu
