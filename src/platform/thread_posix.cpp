#include <pthread.h>

#include "platform/system_error.h"
#include "platform/thread.h"

namespace hx {

struct CThread::Impl {
  pthread_t handle{};
  bool joinable = false;
  std::function<void()> body;
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
  impl_->body = std::move(body);
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

}  // namespace hx
