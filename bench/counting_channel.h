#pragma once
// A channel that counts the transfers that reach the device, so that a benchmark knows its
// link-bound minimum: the transfers times the time one of them takes.

#include <atomic>
#include <cstdint>
#include <memory>

#include "device/channel.h"

namespace hx::bench {

class CountingChannel final : public XuChannel {
 public:
  explicit CountingChannel(std::unique_ptr<XuChannel> inner) : inner_(std::move(inner)) {}
  HRESULT Open(CAutoResetEvent& event) override { return inner_->Open(event); }
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override {
    ++transfers;
    return inner_->Set(selector, packet);
  }
  HRESULT Get(std::uint8_t selector, XuBytes packet) override {
    ++transfers;
    return inner_->Get(selector, packet);
  }
  void Close() override { inner_->Close(); }

  std::atomic<std::uint64_t> transfers{0};

 private:
  std::unique_ptr<XuChannel> inner_;
};

}  // namespace hx::bench
