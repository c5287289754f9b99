#include "model/slot_store.h"

#include <iterator>
#include <system_error>

namespace hx::emu {

namespace fs = std::filesystem;

std::filesystem::path SlotStore::DeviceFile(std::uint8_t index) const {
  return fs::path(state_dir_) / ImageSlotTable[index].device_file;
}

std::filesystem::path SlotStore::TemporaryFile(std::uint8_t index) const {
  return fs::path(state_dir_) / ImageSlotTable[index].temporary_file;
}

bool SlotStore::Begin(std::uint8_t index) {
  Discard();
  if (index >= ImageSlotTable.size()) {
    return false;
  }
  if (!state_dir_.empty()) {
    std::error_code error;
    fs::create_directories(state_dir_, error);
    staged_file_.open(TemporaryFile(index), std::ios::binary | std::ios::trunc);
    if (!staged_file_) {
      return false;
    }
  }
  staging_ = index;
  return true;
}

bool SlotStore::Append(std::span<const std::uint8_t> bytes) {
  if (!staging_) {
    return false;
  }
  if (state_dir_.empty()) {
    staged_.insert(staged_.end(), bytes.begin(), bytes.end());
    return true;
  }
  staged_file_.write(reinterpret_cast<const char*>(bytes.data()),
                     static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(staged_file_);
}

bool SlotStore::Publish() {
  if (!staging_) {
    return false;
  }
  const std::uint8_t index = *staging_;
  if (state_dir_.empty()) {
    memory_[index] = std::move(staged_);
    Discard();
    return true;
  }
  staged_file_.close();
  std::error_code error;
  if (staged_file_.fail()) {
    Discard();
    return false;
  }
  // rename replaces the old file in one step: a reader sees the old image or the new one.
  fs::rename(TemporaryFile(index), DeviceFile(index), error);
  Discard();
  return !error;
}

void SlotStore::Discard() {
  if (staging_ && !state_dir_.empty()) {
    staged_file_.close();
    std::error_code error;
    fs::remove(TemporaryFile(*staging_), error);
  }
  staged_file_.clear();
  staged_.clear();
  staged_.shrink_to_fit();
  staging_.reset();
}

std::optional<std::vector<std::uint8_t>> SlotStore::Contents(std::uint8_t index) const {
  if (index >= ImageSlotTable.size()) {
    return std::nullopt;
  }
  if (state_dir_.empty()) {
    return memory_[index];
  }
  std::ifstream in(DeviceFile(index), std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

}  // namespace hx::emu
