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

EventOrEndResult WaitForEventOrThreadEnd(CAutoResetEvent& event, CThread& thread) {
  if (thread.impl_->handle == nullptr) {
    const WaitResult now = event.Wait(0);
    switch (now.outcome) {
      case WaitOutcome::kSignalled:
        return {EventOrEnd::kEvent, S_OK};
      case WaitOutcome::kFailed:
        return {EventOrEnd::kFailed, now.error};
      case WaitOutcome::kTimedOut:
        break;
    }
    return {EventOrEnd::kEnded, S_OK};
  }
  // With both signalled the wait reports the lower index: the event counts.
  const HANDLE handles[] = {static_cast<HANDLE>(event.NativeHandle()), thread.impl_->handle};
  switch (::WaitForMultipleObjects(2, handles, FALSE, INFINITE)) {
    case WAIT_OBJECT_0:
      return {EventOrEnd::kEvent, S_OK};
    case WAIT_OBJECT_0 + 1:
      return {EventOrEnd::kEnded, S_OK};
    default:
      return {EventOrEnd::kFailed, HresultFromError(::GetLastError())};
  }
}

}  // namespace hx
