#include <expat.h>

#include <cstddef>
#include <cstdlib>

#include "xml/xml_parser.h"

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

// One document fed to expat, whose memory is held to kParserMemory.
class ExpatCheck final : public XmlCheck {
 public:
  ExpatCheck() : expat_(XML_ParserCreate_MM(nullptr, &kBoundedMemory, nullptr)) {}
  ~ExpatCheck() override {
    if (expat_ != nullptr) {
      XML_ParserFree(expat_);
    }
  }
  ExpatCheck(const ExpatCheck&) = delete;
  ExpatCheck& operator=(const ExpatCheck&) = delete;

  bool Feed(std::span<const std::uint8_t> piece) override {
    // Pieces are a buffer's worth; a larger one goes in parts that the parser's int can carry.
    constexpr std::size_t kMostAtOnce = std::size_t{1} << 30;
    while (expat_ != nullptr && !failed_ && !piece.empty()) {
      const std::size_t length = piece.size() < kMostAtOnce ? piece.size() : kMostAtOnce;
      failed_ = XML_Parse(expat_, reinterpret_cast<const char*>(piece.data()),
                          static_cast<int>(length), XML_FALSE) != XML_STATUS_OK;
      piece = piece.subspan(length);
    }
    return expat_ != nullptr && !failed_;
  }

  XmlVerdict Finish() override {
    if (expat_ == nullptr) {
      return XmlVerdict::kUnchecked;
    }
    if (!failed_) {
      failed_ = XML_Parse(expat_, nullptr, 0, XML_TRUE) != XML_STATUS_OK;
    }
    return failed_ ? XmlVerdict::kMalformed : XmlVerdict::kWellFormed;
  }

 private:
  XML_Parser expat_;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<XmlCheck> MakeXmlParser() {
  return std::make_unique<ExpatCheck>();
}

}  // namespace hx::emu
