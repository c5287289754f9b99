// The XML parser of Windows builds: the system's XmlLite reader, reading on a thread of its own
// from a stream of this check's own that hands it each piece as it is fed.
#include <windows.h>
#include <xmllite.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "xml/bounded_memory.h"
#include "xml/xml_parser.h"

namespace hx::emu {
namespace {

// XmlLite refuses a document nested deeper than 256 elements unless told otherwise; expat has no
// such limit. Far past any configuration, this leaves nesting to the memory bound, as expat does.
constexpr LONG_PTR kMostElementDepth = 100000;

// An object of the check's that the reader is handed. It outlives the reader, which the check
// releases first: the reader's references do not count.
template <typename Interface>
class HeldByTheCheck : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!IsEqualIID(iid, __uuidof(IUnknown)) && !IsEqualIID(iid, __uuidof(Interface))) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<Interface*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// The reader's allocator, held to kParserMemory.
class ReaderMemory final : public HeldByTheCheck<IMalloc> {
 public:
  void* STDMETHODCALLTYPE Alloc(SIZE_T size) override { return memory_.Allocate(size); }
  void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) override {
    // As COM's allocators: a size of 0 frees the block.
    if (size == 0) {
      memory_.Free(block);
      return nullptr;
    }
    return memory_.Reallocate(block, size);
  }
  void STDMETHODCALLTYPE Free(void* block) override { memory_.Free(block); }
  SIZE_T STDMETHODCALLTYPE GetSize(void* block) override {
    return block == nullptr ? static_cast<SIZE_T>(-1) : BoundedMemory::SizeOf(block);
  }
  int STDMETHODCALLTYPE DidAlloc(void*) override { return -1; }
  void STDMETHODCALLTYPE HeapMinimize() override {}

 private:
  BoundedMemory memory_{kParserMemory};
};

// The document as far as it has been fed, read by the reader on a thread of its own: its reads
// wait for the next piece, and the thread that hands a piece over waits until the reader has
// taken all of it, or has stopped, so that no piece is kept.
class FedStream final : public HeldByTheCheck<ISequentialStream> {
 public:
  // Fills the buffer whole, from as many pieces as it takes, as a file would, but for the
  // document's last bytes: the reader never sees a read fall short of a token.
  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
    const std::span<std::uint8_t> out(static_cast<std::uint8_t*>(buffer), size);
    std::size_t filled = 0;
    std::unique_lock lock(mutex_);
    while (filled < out.size() && !abandoned_) {
      changed_.wait(lock, [this] { return !unread_.empty() || ended_ || abandoned_; });
      if (unread_.empty()) {
        break;
      }
      const std::size_t count = std::min(out.size() - filled, unread_.size());
      std::memcpy(out.data() + filled, unread_.data(), count);
      filled += count;
      unread_ = unread_.subspan(count);
      if (unread_.empty()) {
        changed_.notify_all();
      }
    }
    if (read != nullptr) {
      *read = static_cast<ULONG>(filled);
    }
    if (abandoned_) {
      return E_ABORT;
    }
    return filled == 0 && size != 0 ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override {
    return STG_E_ACCESSDENIED;
  }

  /// Hands piece to the reader and waits until it has taken it all or has stopped; false once
  /// it has stopped.
  bool Hand(std::span<const std::uint8_t> piece) {
    std::unique_lock lock(mutex_);
    unread_ = piece;
    changed_.notify_all();
    changed_.wait(lock, [this] { return unread_.empty() || stopped_; });
    return !stopped_;
  }
  /// Ends the document and waits for the reader's last answer.
  HRESULT End() {
    std::unique_lock lock(mutex_);
    ended_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return stopped_; });
    return last_;
  }
  /// Fails the reader's reads from now on: the document will not be finished.
  void Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    changed_.notify_all();
  }
  /// The reader's side: it has stopped reading, with last its last answer.
  void Stopped(HRESULT last) {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    last_ = last;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::span<const std::uint8_t> unread_{};
  bool ended_ = false;
  bool abandoned_ = false;
  bool stopped_ = false;
  HRESULT last_ = S_OK;
};

class XmlLiteCheck final : public XmlCheck {
 public:
  XmlLiteCheck() {
    IXmlReader* reader = nullptr;
    if (FAILED(
            ::CreateXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader), &memory_))) {
      return;
    }
    reader_ = reader;
    // A document type declaration is read, with its internal entities, as expat reads it;
    // nothing external is ever fetched, as the reader is given no resolver.
    if (FAILED(reader_->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Parse)) ||
        FAILED(reader_->SetProperty(XmlReaderProperty_MaxElementDepth, kMostElementDepth)) ||
        FAILED(reader_->SetInput(&stream_))) {
      return;
    }
    thread_ = std::thread([this] {
      XmlNodeType node = XmlNodeType_None;
      HRESULT hr = S_OK;
      while (hr == S_OK) {
        hr = reader_->Read(&node);
      }
      stream_.Stopped(hr);
    });
  }
  ~XmlLiteCheck() override {
    if (thread_.joinable()) {
      stream_.Abandon();
      thread_.join();
    }
    if (reader_ != nullptr) {
      reader_->Release();
    }
  }
  XmlLiteCheck(const XmlLiteCheck&) = delete;
  XmlLiteCheck& operator=(const XmlLiteCheck&) = delete;

  bool Feed(std::span<const std::uint8_t> piece) override {
    return thread_.joinable() && stream_.Hand(piece);
  }

  XmlVerdict Finish() override {
    if (!thread_.joinable()) {
      return XmlVerdict::kUnchecked;
    }
    // The end of the document (S_FALSE) is the only success that ends the reading.
    return SUCCEEDED(stream_.End()) ? XmlVerdict::kWellFormed : XmlVerdict::kMalformed;
  }

 private:
  ReaderMemory memory_;
  FedStream stream_;
  IXmlReader* reader_ = nullptr;
  std::thread thread_;
};

}  // namespace

std::unique_ptr<XmlCheck> MakeXmlParser() {
  return std::make_unique<XmlLiteCheck>();
}

}  // namespace hx::emu
