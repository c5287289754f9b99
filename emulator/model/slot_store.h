#pragma once
// The device's image slots. An image is staged aside and becomes the slot's contents in one
// step, so a slot holds either its old image or the whole new one; the images of a network
// update become their slots' contents together (see commit_journal.h). With a state directory
// each slot is the file named by its device file name and an image is staged in a file of its
// own, written through as it comes; without one the slots live in memory.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "model/commit_journal.h"
#include "model/slot_reader.h"
#include "model/staged_images.h"
#include "platform/state_directory.h"
#include "protocol/image_slots.h"

namespace hx::emu {

class SlotStore {
 public:
  /// state_dir: the directory that keeps the slots, or null to keep them in memory. committed
  /// is called with a slot's index whenever the slot gets new contents.
  SlotStore(CStateDirectory* state_dir, std::function<void(std::uint8_t index)> committed)
      : state_dir_(state_dir), committed_(std::move(committed)) {}
  /// A device switched off midway through an upload keeps no staging file.
  ~SlotStore() { Discard(); }
  SlotStore(const SlotStore&) = delete;
  SlotStore& operator=(const SlotStore&) = delete;

  /// Starts staging an uploaded image for slot index (below ImageSlotTable.size()), dropping
  /// any image staged before; false when nothing can be staged.
  bool Begin(std::uint8_t index);
  /// Adds bytes to the staged image; false when they cannot be kept.
  bool Append(std::span<const std::uint8_t> bytes);
  /// Makes the staged image its slot's contents, synced to the disk first; false, and the slot
  /// unchanged, on failure. Either way nothing stays staged.
  bool Publish();
  /// Drops the staged image, if any.
  void Discard();

  /// A set of images to stage for a network update (space as StagedImages takes it). A commit
  /// that the device was stopped in is completed first, so that its record never names the
  /// new images; null when it cannot be.
  std::unique_ptr<StagedImages> StageImages(std::optional<std::uint64_t> space);
  /// Makes every image of staged its slot's contents, all of them or none; false when they
  /// cannot be. Then nothing stays staged, unless the device's next start is to complete the
  /// commit (see CommitOutcome::kCutShort). pause is called at each step.
  bool Commit(StagedImages& staged, const CommitPause& pause);

  /// A reader of a slot's contents; nullopt for a slot never written (or a bad index).
  std::optional<SlotReader> Open(std::uint8_t index) const;
  /// A slot's length; nullopt as for Open.
  std::optional<std::uint64_t> Size(std::uint8_t index) const;
  /// A slot's whole contents; nullopt as for Open.
  std::optional<std::vector<std::uint8_t>> Contents(std::uint8_t index) const;

 private:
  using Bytes = std::vector<std::uint8_t>;
  void Committed(std::uint8_t index);

  CStateDirectory* state_dir_;
  std::function<void(std::uint8_t)> committed_;
  std::array<std::shared_ptr<const Bytes>, ImageSlotTable.size()> memory_{};
  std::optional<std::uint8_t> staging_{};
  Bytes staged_{};            // without a state directory
  CStateFile staged_file_{};  // with one
};

}  // namespace hx::emu
