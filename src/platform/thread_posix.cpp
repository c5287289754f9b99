#include <pthread.h>

#include <atomic>

#include "platform/auto_reset_event_posix.h"
#include "platform/system_error.h"
#include "platform/thread.h"

namespace hx {

struct CThread::Impl {
  pthread_t handle{};
  bool joinable = false;
  std::function<void()> body;
  /// Set once the body has returned. Read by a waiter under the event's lock only, which
  /// therefore never takes end_mutex while it holds the event's lock.
  std::atomic<bool> ended = false;
  /// Guards end_watcher: the thread's end and a waiter's registration meet here.
  std::mutex end_mutex;
  /// The event a waiter watches together with this thread's end; woken when the thread ends.
  CAutoResetEvent::Impl* end_watcher = nullptr;

  void MarkEnded() {
    std::lock_guard end_lock(end_mutex);
    ended.store(true);
    if (end_watcher != nullptr) {
      // Notified under the event's lock, so that a waiter between its test and its sleep
      // cannot miss it; under end_mutex, so that a waiter that has left is never touched.
      std::lock_guard event_lock(end_watcher->mutex);
      end_watcher->signalled_cv.notify_all();
    }
  }
};

namespace {

void* RunBody(void* argument) {
  static_cast<std::function<void()>*>(argument)->operator()();
  return nullptr;
}

}  // namespace

CThread::CThread() : impl_(std::make_unique<Impl>()) {}

CThread::~CThread() {
  Join();
}

HRESULT CThread::Start(std::function<void()> body) {
  if (impl_->joinable) {
    return E_FAIL;
  }
  impl_->ended.store(false);
  impl_->body = [impl = impl_.get(), routine = std::move(body)] {
    routine();
    impl->MarkEnded();
  };
  const int error = pthread_create(&impl_->handle, nullptr, RunBody, &impl_->body);
  if (error != 0) {
    return platform::HresultFromErrno(error);
  }
  impl_->joinable = true;
  return S_OK;
}

bool CThread::Started() const {
  return impl_->joinable;
}

void CThread::Join() {
  if (impl_->joinable) {
    pthread_join(impl_->handle, nullptr);
    impl_->joinable = false;
  }
}

EventOrEndResult WaitForEventOrThreadEnd(CAutoResetEvent& event, CThread& thread) {
  CAutoResetEvent::Impl& e = *event.impl_;
  CThread::Impl& t = *thread.impl_;
  // Only the thread's owner starts and joins it, and that is the caller.
  const bool running = t.joinable;
  if (running) {
    std::lock_guard end_lock(t.end_mutex);
    t.end_watcher = &e;
  }
  bool signalled = false;
  {
    std::unique_lock lock(e.mutex);
    e.signalled_cv.wait(lock, [&] { return e.signalled || !running || t.ended.load(); });
    signalled = e.signalled;
    e.signalled = false;
  }
  if (running) {
    std::lock_guard end_lock(t.end_mutex);
    t.end_watcher = nullptr;
  }
  return {signalled ? EventOrEnd::kEvent : EventOrEnd::kEnded, S_OK};
}

}  // namespace hx
