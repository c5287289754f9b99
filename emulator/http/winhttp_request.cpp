#include "http/winhttp_request.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace hx::emu {

/// What a request's reports reach.
struct RequestReports {
  std::mutex mutex;
  std::condition_variable changed;
  std::optional<Completion> done;
  std::vector<std::uint8_t> buffer;
};

namespace {

// WinHTTP's hold on what its reports reach, by the context each request is sent with: an entry
// stays until its handle's last report.
class HeldByWinHttp {
 public:
  DWORD_PTR Hold(std::shared_ptr<RequestReports> reports) {
    std::lock_guard lock(mutex_);
    const DWORD_PTR context = next_++;
    held_.emplace(context, std::move(reports));
    return context;
  }
  std::shared_ptr<RequestReports> Find(DWORD_PTR context) {
    std::lock_guard lock(mutex_);
    const auto entry = held_.find(context);
    return entry != held_.end() ? entry->second : nullptr;
  }
  void Release(DWORD_PTR context) {
    std::lock_guard lock(mutex_);
    held_.erase(context);
  }

 private:
  std::mutex mutex_;
  std::map<DWORD_PTR, std::shared_ptr<RequestReports>> held_;
  DWORD_PTR next_ = 1;
};

// Never destroyed: WinHTTP's threads may still report while the process ends.
HeldByWinHttp& Held() {
  static auto* const held = new HeldByWinHttp;
  return *held;
}

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* information,
                       DWORD length) {
  Completion done{status};
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      done.bytes = length;
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      done.error = static_cast<const WINHTTP_ASYNC_RESULT*>(information)->dwError;
      break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      // The handle's last report.
      Held().Release(context);
      return;
    default:
      return;
  }
  const std::shared_ptr<RequestReports> reports = Held().Find(context);
  if (reports == nullptr) {
    return;
  }
  std::lock_guard lock(reports->mutex);
  reports->done = done;
  reports->changed.notify_all();
}

}  // namespace

AsyncRequest::AsyncRequest(HINTERNET request, std::size_t buffer_size)
    : request_(request), reports_(std::make_shared<RequestReports>()) {
  reports_->buffer.resize(buffer_size);
  context_ = Held().Hold(reports_);
  watched_ =
      WinHttpSetOption(request_, WINHTTP_OPTION_CONTEXT_VALUE, &context_, sizeof(context_)) !=
          FALSE &&
      WinHttpSetStatusCallback(
          request_, OnStatus, WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
          0) != WINHTTP_INVALID_STATUS_CALLBACK;
}

AsyncRequest::~AsyncRequest() {
  // Unwatched, or not closed, the handle brings no last report to release WinHTTP's hold.
  if (WinHttpCloseHandle(request_) == FALSE || !watched_) {
    Held().Release(context_);
  }
}

std::span<std::uint8_t> AsyncRequest::Buffer() const {
  return reports_->buffer;
}

std::optional<Completion> AsyncRequest::Wait(std::chrono::steady_clock::duration limit) const {
  std::unique_lock lock(reports_->mutex);
  if (!reports_->changed.wait_for(lock, limit, [this] { return reports_->done.has_value(); })) {
    return std::nullopt;
  }
  return std::exchange(reports_->done, std::nullopt);
}

}  // namespace hx::emu
