#include <expat.h>

#include <cstddef>
#include <cstdlib>

#include "model/xml_check.h"

namespace hx::emu {
namespace {

// What expat may hold at once. A well-formed document needs little more than its largest
// token and its nesting; this keeps the check's memory bounded whatever the file holds.
constexpr std::size_t kParserMemory = std::size_t{8} << 20;
// Each block expat asks for carries its size before it, kept aligned.
constexpr std::size_t kHeader = alignof(std::max_align_t);

// Expat's allocation calls carry no context: the account is the thread's, and a check runs on
// one thread.
thread_local std::size_t t_in_use = 0;

std::size_t& SizeOf(void* block) {
  return *static_cast<std::size_t*>(block);
}

void* Payload(void* block) {
  return static_cast<char*>(block) + kHeader;
}

void* BlockOf(void* payload) {
  return static_cast<char*>(payload) - kHeader;
}

void* Allocate(std::size_t size) {
  if (size > kParserMemory - t_in_use) {
    return nullptr;
  }
  void* block = std::malloc(kHeader + size);
  if (block == nullptr) {
    return nullptr;
  }
  SizeOf(block) = size;
  t_in_use += size;
  return Payload(block);
}

void Free(void* payload) {
  if (payload == nullptr) {
    return;
  }
  void* block = BlockOf(payload);
  t_in_use -= SizeOf(block);
  std::free(block);
}

void* Reallocate(void* payload, std::size_t size) {
  if (payload == nullptr) {
    return Allocate(size);
  }
  const std::size_t old_size = SizeOf(BlockOf(payload));
  if (size > old_size && size - old_size > kParserMemory - t_in_use) {
    return nullptr;
  }
  void* block = std::realloc(BlockOf(payload), kHeader + size);
  if (block == nullptr) {
    return nullptr;
  }
  t_in_use = t_in_use - old_size + size;
  SizeOf(block) = size;
  return Payload(block);
}

const XML_Memory_Handling_Suite kBoundedMemory = {Allocate, Reallocate, Free};

}  // namespace

struct XmlCheck::Parser {
  XML_Parser expat = nullptr;
  bool failed = false;
};

XmlCheck::XmlCheck() : parser_(std::make_unique<Parser>()) {
  parser_->expat = XML_ParserCreate_MM(nullptr, &kBoundedMemory, nullptr);
}

XmlCheck::~XmlCheck() {
  if (parser_->expat != nullptr) {
    XML_ParserFree(parser_->expat);
  }
}

bool XmlCheck::Feed(std::span<const std::uint8_t> piece) {
  // Pieces are a buffer's worth; a larger one goes in parts that the parser's int can carry.
  constexpr std::size_t kMostAtOnce = std::size_t{1} << 30;
  while (parser_->expat != nullptr && !parser_->failed && !piece.empty()) {
    const std::size_t length = piece.size() < kMostAtOnce ? piece.size() : kMostAtOnce;
    parser_->failed = XML_Parse(parser_->expat, reinterpret_cast<const char*>(piece.data()),
                                static_cast<int>(length), XML_FALSE) != XML_STATUS_OK;
    piece = piece.subspan(length);
  }
  return parser_->expat != nullptr && !parser_->failed;
}

XmlVerdict XmlCheck::Finish() {
  if (parser_->expat == nullptr) {
    return XmlVerdict::kUnchecked;
  }
  if (!parser_->failed) {
    parser_->failed = XML_Parse(parser_->expat, nullptr, 0, XML_TRUE) != XML_STATUS_OK;
  }
  return parser_->failed ? XmlVerdict::kMalformed : XmlVerdict::kWellFormed;
}

bool XmlCheckAvailable() {
  return true;
}

}  // namespace hx::emu
