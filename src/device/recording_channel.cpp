#include "device/recording_channel.h"

#include <atomic>

#include "platform/thread.h"

namespace hx {
namespace {

class RecordingChannel final : public XuChannel {
 public:
  RecordingChannel(std::unique_ptr<XuChannel> inner, std::shared_ptr<TransferRecording> recording)
      : inner_(std::move(inner)), recording_(std::move(recording)) {}
  ~RecordingChannel() override { Close(); }

  HRESULT Open(CAutoResetEvent& status_event) override {
    HRESULT hr = inner_signals_.Create();
    if (SUCCEEDED(hr)) {
      hr = inner_->Open(inner_signals_);
    }
    recording_->Header(inner_->DevicePath(), hr);
    opened_ = true;
    if (FAILED(hr)) {
      return hr;
    }
    status_event_ = &status_event;
    // Signals that came during Open are held by the event until the forwarder takes them.
    return forwarder_.Start([this] { Forward(); });
  }

  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override {
    const auto start = recording_->StartTransfer();
    const HRESULT hr = inner_->Set(selector, packet);
    recording_->EndTransfer(TransferKind::kSet, selector, start, packet, hr);
    return hr;
  }

  HRESULT Get(std::uint8_t selector, XuBytes packet) override {
    const auto start = recording_->StartTransfer();
    const HRESULT hr = inner_->Get(selector, packet);
    recording_->EndTransfer(TransferKind::kGet, selector, start, packet, hr);
    return hr;
  }

  void Close() override {
    inner_->Close();
    if (forwarder_.Started()) {
      stopping_ = true;
      inner_signals_.Set();
      forwarder_.Join();
    }
    if (opened_) {
      opened_ = false;
      recording_->End();
    }
  }

  std::string DevicePath() const override { return inner_->DevicePath(); }

 private:
  // Records each signal before passing it on, so that every transfer it causes comes after it.
  void Forward() {
    for (;;) {
      // A wait that fails would fail again at once; the signals stop there, as they would
      // from a device that stops interrupting.
      if (inner_signals_.Wait(std::nullopt).outcome == WaitOutcome::kFailed || stopping_) {
        return;
      }
      recording_->Interrupt();
      status_event_->Set();
    }
  }

  std::unique_ptr<XuChannel> inner_;
  std::shared_ptr<TransferRecording> recording_;
  CAutoResetEvent inner_signals_;
  CAutoResetEvent* status_event_ = nullptr;
  CThread forwarder_;
  std::atomic<bool> stopping_{false};
  bool opened_ = false;
};

}  // namespace

std::unique_ptr<XuChannel> MakeRecordingChannel(std::unique_ptr<XuChannel> inner,
                                                std::shared_ptr<TransferRecording> recording) {
  return std::make_unique<RecordingChannel>(std::move(inner), std::move(recording));
}

}  // namespace hx
