#pragma once
// A slot's contents read a piece at a time, as they were when the reader was opened: a slot
// replaced meanwhile does not change what it reads. It holds no lock and may be used on any
// one thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/state_directory.h"

namespace hx::emu {

class SlotReader {
 public:
  /// The slot's file in the state directory.
  explicit SlotReader(CStateFileReader file) : file_(std::move(file)) {}
  /// A slot kept in memory.
  explicit SlotReader(std::shared_ptr<const std::vector<std::uint8_t>> bytes)
      : memory_(std::move(bytes)) {}

  /// Copies the next bytes into buffer: how many (0 at the end), or nullopt when the slot
  /// cannot be read.
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer);
  /// The slot's length; nullopt when it cannot be told.
  std::optional<std::uint64_t> Size() const;
  /// Hands the rest of the slot to take a piece at a time (64 KiB at most), until the end or
  /// until take returns false; false when the slot cannot be read.
  bool ForEachPiece(const std::function<bool(std::span<const std::uint8_t>)>& take);

 private:
  CStateFileReader file_{};
  std::shared_ptr<const std::vector<std::uint8_t>> memory_{};
  std::size_t offset_ = 0;
};

}  // namespace hx::emu
