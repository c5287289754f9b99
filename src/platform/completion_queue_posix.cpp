#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/completion_queue.h"

namespace hx {

namespace {

// The worker is woken once per block; waking a sleeping thread on another core costs tens of
// microseconds, which adds up to several per cent of a transfer. Watching the queue for a short
// while before sleeping hides that when the next completion is about to come.
constexpr auto kSpinBeforeSleeping = std::chrono::microseconds(300);

}  // namespace

struct CCompletionQueue::Impl {
  std::mutex mutex;
  std::condition_variable posted;
  std::deque<Completion> completions;
  std::atomic<std::size_t> count{0};
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
    impl_->count.store(impl_->completions.size(), std::memory_order_release);
  }
  impl_->posted.notify_one();
  return S_OK;
}

Completion CCompletionQueue::Take() {
  // On a single processor the poster cannot run while we watch: go straight to sleep there.
  static const bool watching_pays = std::thread::hardware_concurrency() > 1;
  const auto spin_until = std::chrono::steady_clock::now() + kSpinBeforeSleeping;
  while (watching_pays && impl_->count.load(std::memory_order_acquire) == 0 &&
         std::chrono::steady_clock::now() < spin_until) {
  }
  std::unique_lock lock(impl_->mutex);
  impl_->posted.wait(lock, [this] { return !impl_->completions.empty(); });
  const Completion completion = impl_->completions.front();
  impl_->completions.pop_front();
  impl_->count.store(impl_->completions.size(), std::memory_order_release);
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
  impl_->count.store(impl_->completions.size(), std::memory_order_release);
  return true;
}

}  // namespace hx
