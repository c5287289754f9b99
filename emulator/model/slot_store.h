#pragma once
// The device's image slots. An image is staged aside and becomes the slot's contents in one
// step, so a slot holds either its old image or the whole new one. With a state directory each
// slot is the file named by its device file name and an image is staged in the slot's
// temporary file, written through as it comes; without one the slots live in memory.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/state_directory.h"
#include "protocol/image_slots.h"

namespace hx::emu {

class SlotStore {
 public:
  /// state_dir: the directory that keeps the slots, or null to keep them in memory.
  explicit SlotStore(CStateDirectory* state_dir) : state_dir_(state_dir) {}
  /// A device switched off midway through an upload keeps no staging file.
  ~SlotStore() { Discard(); }
  SlotStore(const SlotStore&) = delete;
  SlotStore& operator=(const SlotStore&) = delete;

  /// Starts staging an image for slot index (below ImageSlotTable.size()), dropping any image
  /// staged before; false when nothing can be staged.
  bool Begin(std::uint8_t index);
  /// Adds bytes to the staged image; false when they cannot be kept.
  bool Append(std::span<const std::uint8_t> bytes);
  /// Makes the staged image its slot's contents; false, and the slot unchanged, on failure.
  /// Either way nothing stays staged.
  bool Publish();
  /// Drops the staged image, if any.
  void Discard();

  /// A slot's contents; nullopt for a slot never written (or a bad index).
  std::optional<std::vector<std::uint8_t>> Contents(std::uint8_t index) const;

 private:
  CStateDirectory* state_dir_;
  std::array<std::optional<std::vector<std::uint8_t>>, ImageSlotTable.size()> memory_{};
  std::optional<std::uint8_t> staging_{};
  std::vector<std::uint8_t> staged_{};  // without a state directory
  CStateFile staged_file_{};            // with one
};

}  // namespace hx::emu
