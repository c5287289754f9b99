#include <expat.h>

#include <cstddef>

#include "xml/bounded_memory.h"
#include "xml/xml_parser.h"

namespace hx::emu {
namespace {

// Expat's allocation calls carry no context: the budget is the thread's, and a check runs on
// one thread.
thread_local BoundedMemory t_memory(kParserMemory);

void* Allocate(std::size_t size) {
  return t_memory.Allocate(size);
}

void* Reallocate(void* block, std::size_t size) {
  return t_memory.Reallocate(block, size);
}

void Free(void* block) {
  t_memory.Free(block);
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
