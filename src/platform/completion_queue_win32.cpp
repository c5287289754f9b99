// An I/O completion port bound to no file, with a concurrency of 1: the system wakes the one
// worker that waits on it for each posted completion, in order.
#include <windows.h>

#include "platform/completion_queue.h"

namespace hx {

struct CCompletionQueue::Impl {
  HANDLE port = nullptr;
};

CCompletionQueue::CCompletionQueue() : impl_(std::make_unique<Impl>()) {}

CCompletionQueue::~CCompletionQueue() {
  if (impl_->port != nullptr) {
    ::CloseHandle(impl_->port);
  }
}

HRESULT CCompletionQueue::Create() {
  if (impl_->port != nullptr) {
    return S_OK;
  }
  impl_->port = ::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  if (impl_->port == nullptr) {
    return HresultFromError(::GetLastError());
  }
  return S_OK;
}

bool CCompletionQueue::Created() const {
  return impl_->port != nullptr;
}

HRESULT CCompletionQueue::Post(const Completion& completion) {
  if (impl_->port == nullptr) {
    return HresultFromError(kErrorInvalidHandle);
  }
  if (!::PostQueuedCompletionStatus(impl_->port, completion.byte_count,
                                    reinterpret_cast<ULONG_PTR>(completion.key), nullptr)) {
    return HresultFromError(::GetLastError());
  }
  return S_OK;
}

namespace {

bool Dequeue(HANDLE port, DWORD wait_ms, Completion& completion) {
  DWORD byte_count = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  if (!::GetQueuedCompletionStatus(port, &byte_count, &key, &overlapped, wait_ms)) {
    return false;
  }
  completion = {byte_count, reinterpret_cast<void*>(key)};
  return true;
}

}  // namespace

Completion CCompletionQueue::Take() {
  Completion completion{};
  // Posted completions carry no overlapped record, so the only failure left is a port that is
  // gone; waiting again would spin, so that is read as a request to stop.
  if (!Dequeue(impl_->port, INFINITE, completion)) {
    return {1, nullptr};
  }
  return completion;
}

bool CCompletionQueue::TryTake(Completion& completion) {
  return impl_->port != nullptr && Dequeue(impl_->port, 0, completion);
}

}  // namespace hx
