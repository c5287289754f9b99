#include <windows.h>

#include "platform/auto_reset_event.h"

namespace hx {

struct CAutoResetEvent::Impl {
  HANDLE handle = nullptr;
};

CAutoResetEvent::CAutoResetEvent() : impl_(std::make_unique<Impl>()) {}

CAutoResetEvent::~CAutoResetEvent() {
  if (impl_->handle != nullptr) {
    ::CloseHandle(impl_->handle);
  }
}

HRESULT CAutoResetEvent::Create() {
  if (impl_->handle != nullptr) {
    return S_OK;
  }
  // Default security, auto-reset, not signalled, unnamed.
  impl_->handle = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (impl_->handle == nullptr) {
    return HresultFromError(::GetLastError());
  }
  return S_OK;
}

void CAutoResetEvent::Set() {
  ::SetEvent(impl_->handle);
}

WaitResult CAutoResetEvent::Wait(std::optional<std::uint32_t> timeout_ms) {
  switch (::WaitForSingleObject(impl_->handle, timeout_ms ? *timeout_ms : INFINITE)) {
    case WAIT_OBJECT_0:
      return {WaitOutcome::kSignalled, S_OK};
    case WAIT_TIMEOUT:
      return {WaitOutcome::kTimedOut, S_OK};
    default:
      return {WaitOutcome::kFailed, HresultFromError(::GetLastError())};
  }
}

void* CAutoResetEvent::NativeHandle() {
  return impl_->handle;
}

}  // namespace hx
