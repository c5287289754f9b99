#include "xml/bounded_memory.h"

#include <cstdlib>

namespace hx::emu {
namespace {

// Each block carries its size before it, kept aligned.
constexpr std::size_t kHeader = alignof(std::max_align_t);

std::size_t& HeaderOf(void* payload) {
  return *reinterpret_cast<std::size_t*>(static_cast<char*>(payload) - kHeader);
}

void* PayloadOf(void* block) {
  return static_cast<char*>(block) + kHeader;
}

}  // namespace

void* BoundedMemory::Allocate(std::size_t size) {
  if (size > budget_ - in_use_) {
    return nullptr;
  }
  void* block = std::malloc(kHeader + size);
  if (block == nullptr) {
    return nullptr;
  }
  in_use_ += size;
  void* payload = PayloadOf(block);
  HeaderOf(payload) = size;
  return payload;
}

void* BoundedMemory::Reallocate(void* payload, std::size_t size) {
  if (payload == nullptr) {
    return Allocate(size);
  }
  const std::size_t old_size = SizeOf(payload);
  if (size > old_size && size - old_size > budget_ - in_use_) {
    return nullptr;
  }
  void* block = std::realloc(&HeaderOf(payload), kHeader + size);
  if (block == nullptr) {
    return nullptr;
  }
  in_use_ = in_use_ - old_size + size;
  payload = PayloadOf(block);
  HeaderOf(payload) = size;
  return payload;
}

void BoundedMemory::Free(void* payload) {
  if (payload == nullptr) {
    return;
  }
  in_use_ -= SizeOf(payload);
  std::free(&HeaderOf(payload));
}

std::size_t BoundedMemory::SizeOf(void* payload) {
  return HeaderOf(payload);
}

}  // namespace hx::emu
