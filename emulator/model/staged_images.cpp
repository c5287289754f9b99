#include "model/staged_images.h"

#include "model/commit_journal.h"
#include "protocol/image_slots.h"

namespace hx::emu {

bool StagedImages::Begin(std::uint8_t index) {
  if (index >= ImageSlotTable.size() || !EndImage()) {
    return false;
  }
  slots_.push_back(index);
  if (dir_ == nullptr) {
    memory_.emplace_back();
    return true;
  }
  return SUCCEEDED(dir_->Create(UpdateStagingName(index), file_));
}

bool StagedImages::Append(std::span<const std::uint8_t> bytes) {
  if (slots_.empty()) {
    return false;
  }
  written_ += bytes.size();
  if (space_ && written_ > *space_) {
    return false;  // as a write to a full disk fails
  }
  if (dir_ == nullptr) {
    memory_.back().insert(memory_.back().end(), bytes.begin(), bytes.end());
    return true;
  }
  return file_.IsOpen() && SUCCEEDED(file_.Write(bytes));
}

bool StagedImages::Seal() {
  return EndImage();
}

// The image written last is synced and closed; nothing to do in memory.
bool StagedImages::EndImage() {
  if (!file_.IsOpen()) {
    return true;
  }
  const bool synced = SUCCEEDED(file_.Sync());
  return SUCCEEDED(file_.Close()) && synced;
}

void StagedImages::Discard() {
  file_.Close();
  if (dir_ != nullptr) {
    for (const std::uint8_t slot : slots_) {
      dir_->Remove(UpdateStagingName(slot));
    }
  }
  Release();
}

void StagedImages::Release() {
  slots_.clear();
  memory_.clear();
  written_ = 0;
}

}  // namespace hx::emu
