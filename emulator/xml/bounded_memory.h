#pragma once
// The memory an XML parser may hold at once. A well-formed document needs little more than its
// largest token and its nesting; a budget keeps a check's memory bounded whatever the file holds.

#include <cstddef>

namespace hx::emu {

/// What one parser may hold at once.
inline constexpr std::size_t kParserMemory = std::size_t{8} << 20;

/// Heap blocks drawn from a budget: a request that would take the blocks in use past it fails,
/// as one the system cannot meet does.
///
/// Threading: one thread, as the parser it serves.
class BoundedMemory {
 public:
  explicit BoundedMemory(std::size_t budget) : budget_(budget) {}

  /// A block of size bytes, aligned for any type; null past the budget.
  void* Allocate(std::size_t size);
  /// block (null: none) grown or shrunk to size bytes; null past the budget, block then kept.
  void* Reallocate(void* block, std::size_t size);
  /// Gives block (null: none) back.
  void Free(void* block);
  /// The size block was last given.
  static std::size_t SizeOf(void* block);

 private:
  std::size_t budget_;
  std::size_t in_use_ = 0;
};

}  // namespace hx::emu
