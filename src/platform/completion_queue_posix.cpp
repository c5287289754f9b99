#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/completion_queue.h"

namespace hx {

struct CCompletionQueue::Impl {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<Completion> completions;
};

CCompletionQueue::CCompletionQueue() = default;
CCompletionQueue::~CCompletionQueue() = default;

HRESULT CCompletionQueue::Create() {
  if (!impl_) {
    impl_ = std::make_unique<Impl>();
  }
  return S_OK;
}

bool CCompletionQueue::Created() const {
  return impl_ != nullptr;
}

HRESULT CCompletionQueue::Post(const Completion& completion) {
  if (!impl_) {
    return HresultFromError(kErrorInvalidHandle);
  }
  {
    std::lock_guard lock(impl_->mutex);
    impl_->completions.push_back(completion);
  }
  impl_->posted.notify_one();
  return S_OK;
}

Completion CCompletionQueue::Take() {
  std::unique_lock lock(impl_->mutex);
  impl_->posted.wait(lock, [this] { return !impl_->completions.empty(); });
  const Completion completion = impl_->completions.front();
  impl_->completions.pop_front();
  return completion;
}

bool CCompletionQueue::TryTake(Completion& completion) {
  if (!impl_) {
    return false;
  }
  std::lock_guard lock(impl_->mutex);
  if (impl_->completions.empty()) {
    return false;
  }
  completion = impl_->completions.front();
  impl_->completions.pop_front();
  return true;
}

}  // namespace hx
