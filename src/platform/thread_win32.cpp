#include <windows.h>

#include "platform/thread.h"

namespace hx {

struct CThread::Impl {
  HANDLE handle = nullptr;
  std::function<void()> body;
};

namespace {

DWORD WINAPI RunBody(LPVOID argument) {
  static_cast<std::function<void()>*>(argument)->operator()();
  return 0;
}

}  // namespace

CThread::CThread() : impl_(std::make_unique<Impl>()) {}

CThread::~CThread() {
  Join();
}

HRESULT CThread::Start(std::function<void()> body) {
  if (impl_->handle != nullptr) {
    return E_FAIL;
  }
  impl_->body = std::move(body);
  // Stack size 0: the executable's default.
  impl_->handle = ::CreateThread(nullptr, 0, RunBody, &impl_->body, 0, nullptr);
  if (impl_->handle == nullptr) {
    return HresultFromError(::GetLastError());
  }
  return S_OK;
}

bool CThread::Started() const {
  return impl_->handle != nullptr;
}

void CThread::Join() {
  if (impl_->handle != nullptr) {
    ::WaitForSingleObject(impl_->handle, INFINITE);
    ::CloseHandle(impl_->handle);
    impl_->handle = nullptr;
  }
}

}  // namespace hx
