#pragma once
// The images of a network update on their way to their slots: each written aside, under its
// own staging name (UpdateStagingName), as it is downloaded, then all made their slots'
// contents together by SlotStore::Commit. With a state directory an image goes straight to
// its staging file; without one it is kept in memory.
//
// Threading: used by one thread, without the model's lock; in the state directory it touches
// only its own staging names.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/state_directory.h"

namespace hx::emu {

class StagedImages {
 public:
  /// dir: the state directory, or null to stage in memory. space: when given, how many bytes
  /// the directory has room for, a write beyond them failing as on a full disk.
  StagedImages(CStateDirectory* dir, std::optional<std::uint64_t> space)
      : dir_(dir), space_(space) {}
  /// What was staged and not committed goes.
  ~StagedImages() { Discard(); }
  StagedImages(const StagedImages&) = delete;
  StagedImages& operator=(const StagedImages&) = delete;

  /// Starts the image of slot index, after those staged before; false when it cannot be
  /// staged.
  bool Begin(std::uint8_t index);
  /// Adds bytes to the image begun last; false when they cannot be kept.
  bool Append(std::span<const std::uint8_t> bytes);
  /// Makes every image staged durable (synced to the disk), ready to commit; false when one
  /// cannot be.
  bool Seal();
  /// Removes every image staged.
  void Discard();

  /// The slots of the images staged, in order.
  const std::vector<std::uint8_t>& Slots() const { return slots_; }

 private:
  friend class SlotStore;
  bool EndImage();
  /// The images are the slots' contents now, or left for the commit record: none is removed.
  void Release();

  CStateDirectory* dir_;
  std::optional<std::uint64_t> space_;
  std::uint64_t written_ = 0;
  std::vector<std::uint8_t> slots_{};
  CStateFile file_{};                                ///< with a directory: the last image's
  std::vector<std::vector<std::uint8_t>> memory_{};  ///< without one: every image
};

}  // namespace hx::emu
