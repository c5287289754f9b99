#pragma once
// One WinHTTP request in asynchronous mode, for the Windows build's HTTP client: the fetching
// thread starts each operation and takes its report, so that it stays free to watch the
// transfer while WinHTTP waits on the server.

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace hx::emu {

struct RequestReports;

/// What WinHTTP reported of the operation last started.
struct Completion {
  DWORD status = 0;  ///< WINHTTP_CALLBACK_STATUS_...
  DWORD bytes = 0;   ///< of a read
  DWORD error = 0;   ///< of a failed operation
};

/// A request handle, with the buffer its reads fill. WinHTTP reports on its own threads, or
/// within the call that starts an operation; a report is only noted, for the fetching thread.
///
/// Closing the handle cancels what is under way. What the reports reach (the buffer included)
/// is WinHTTP's to hold until it says the handle is closing, which may be later: Wine's WinHTTP
/// lets a read, or a wait for the answer, run on until the server sends or leaves, and the
/// device does not wait for that.
class AsyncRequest {
 public:
  /// Takes request (from WinHttpOpenRequest) and closes it when destroyed.
  AsyncRequest(HINTERNET request, std::size_t buffer_size);
  ~AsyncRequest();
  AsyncRequest(const AsyncRequest&) = delete;
  AsyncRequest& operator=(const AsyncRequest&) = delete;

  /// False when WinHTTP would not report to it: nothing can be asked of the request.
  bool Watched() const { return watched_; }
  HINTERNET Get() const { return request_; }
  /// What the request is sent with, for WinHTTP to hand back with each report.
  DWORD_PTR Context() const { return context_; }
  /// Where a read puts what it takes.
  std::span<std::uint8_t> Buffer() const;

  /// The report of the operation under way, when it comes within limit.
  std::optional<Completion> Wait(std::chrono::steady_clock::duration limit) const;

 private:
  HINTERNET request_;
  std::shared_ptr<RequestReports> reports_;
  DWORD_PTR context_ = 0;
  bool watched_ = false;
};

}  // namespace hx::emu
