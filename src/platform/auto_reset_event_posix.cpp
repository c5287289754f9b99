#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/auto_reset_event.h"

namespace hx {

struct CAutoResetEvent::Impl {
  std::mutex mutex;
  std::condition_variable signalled_cv;
  bool signalled = false;
};

CAutoResetEvent::CAutoResetEvent() : impl_(std::make_unique<Impl>()) {}
CAutoResetEvent::~CAutoResetEvent() = default;

// A condition-variable event cannot fail to be created once its storage exists.
HRESULT CAutoResetEvent::Create() {
  return S_OK;
}

void CAutoResetEvent::Set() {
  {
    std::lock_guard lock(impl_->mutex);
    impl_->signalled = true;
  }
  impl_->signalled_cv.notify_one();
}

WaitResult CAutoResetEvent::Wait(std::optional<std::uint32_t> timeout_ms) {
  std::unique_lock lock(impl_->mutex);
  const auto is_signalled = [this] { return impl_->signalled; };
  if (!timeout_ms) {
    impl_->signalled_cv.wait(lock, is_signalled);
  } else if (!impl_->signalled_cv.wait_for(lock, std::chrono::milliseconds(*timeout_ms),
                                           is_signalled)) {
    return {WaitOutcome::kTimedOut, S_OK};
  }
  impl_->signalled = false;
  return {WaitOutcome::kSignalled, S_OK};
}

void* CAutoResetEvent::NativeHandle() {
  return nullptr;
}

}  // namespace hx
