#include "model/slot_reader.h"

#include <algorithm>

namespace hx::emu {

std::optional<std::size_t> SlotReader::Read(std::span<std::uint8_t> buffer) {
  if (memory_ != nullptr) {
    const std::size_t count = std::min(buffer.size(), memory_->size() - offset_);
    std::copy_n(memory_->begin() + static_cast<std::ptrdiff_t>(offset_), count, buffer.begin());
    offset_ += count;
    return count;
  }
  std::size_t read = 0;
  if (FAILED(file_.Read(buffer, read))) {
    return std::nullopt;
  }
  return read;
}

std::optional<std::uint64_t> SlotReader::Size() const {
  if (memory_ != nullptr) {
    return memory_->size();
  }
  std::uint64_t size = 0;
  if (FAILED(file_.Size(size))) {
    return std::nullopt;
  }
  return size;
}

bool SlotReader::ForEachPiece(const std::function<bool(std::span<const std::uint8_t>)>& take) {
  std::vector<std::uint8_t> piece(std::size_t{64} << 10);
  for (;;) {
    const std::optional<std::size_t> got = Read(piece);
    if (!got) {
      return false;
    }
    if (*got == 0 || !take(std::span(piece).first(*got))) {
      return true;
    }
  }
}

}  // namespace hx::emu
