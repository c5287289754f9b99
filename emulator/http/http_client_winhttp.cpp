// The HTTP client of Windows builds: the system's WinHTTP, one request at a time in its
// asynchronous mode, so that the fetching thread watches the transfer (its speed, the device's
// wish to stop) while WinHTTP waits on the server, and hands the body on as it comes.
#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "http/http_client.h"
#include "http/speed_watch.h"
#include "http/winhttp_request.h"

namespace hx::emu {
namespace {

using Clock = SpeedWatch::Clock;

// How long a server has to be found and to accept the connection, as in the Linux build.
constexpr int kConnectTimeoutMs = 10000;
// A server that accepts the connection but sends slower than this (a trickle, or nothing) for
// FetchLimits::low_speed_seconds is given up on, as one that cannot be reached is after the
// connect time limit.
constexpr std::uint64_t kLowSpeedBytesPerSecond = 1024;
// How often the transfer is looked at while WinHTTP waits.
constexpr auto kWatchInterval = std::chrono::milliseconds(100);
constexpr DWORD kReadPiece = DWORD{64} << 10;

struct HandleCloser {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

FetchResult::Failure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return FetchResult::Failure::kCannotResolve;
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return FetchResult::Failure::kCannotConnect;
    case ERROR_WINHTTP_TIMEOUT:
      return FetchResult::Failure::kTimedOut;
    default:
      return FetchResult::Failure::kBroken;
  }
}

std::optional<std::uint64_t> ContentLength(HINTERNET request) {
  std::array<wchar_t, 32> text{};
  DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                          text.data(), &size, WINHTTP_NO_HEADER_INDEX) == FALSE) {
    return std::nullopt;
  }
  std::uint64_t length = 0;
  const std::size_t count = std::min<std::size_t>(size / sizeof(wchar_t), text.size());
  for (const wchar_t c : std::span(text).first(count)) {
    if (c < L'0' || c > L'9' || length > (std::numeric_limits<std::uint64_t>::max() - 9) / 10) {
      return std::nullopt;
    }
    length = length * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return count != 0 ? std::optional(length) : std::nullopt;
}

// The parts of an "http://" URL that WinHTTP is handed; nullopt for any other.
struct Target {
  std::wstring host;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
  std::wstring path;
};

std::optional<Target> TargetOf(const std::string& url) {
  // The device's URLs are ASCII, their other bytes percent-encoded.
  const std::wstring wide(url.begin(), url.end());
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts) == FALSE ||
      parts.nScheme != INTERNET_SCHEME_HTTP) {
    return std::nullopt;
  }
  return Target{std::wstring(parts.lpszHostName, parts.dwHostNameLength), parts.nPort,
                std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                    std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength)};
}

// One request: a GET into sink, or a HEAD (sink null), run on the calling thread.
class Transfer {
 public:
  Transfer(const FetchLimits& limits, const FetchWatch& watch, const BodySink* sink)
      : limits_(limits),
        watch_(watch),
        sink_(sink),
        // A device slowed down on purpose reads at its own rate, never above it: only well
        // below that rate is the server the one that is slow.
        speed_(limits.max_bytes_per_second != 0
                   ? std::min(kLowSpeedBytesPerSecond, limits.max_bytes_per_second / 2)
                   : kLowSpeedBytesPerSecond,
               limits.low_speed_seconds) {}

  FetchResult Run(const std::string& url) {
    const std::optional<Target> target = TargetOf(url);
    if (!target) {
      return {FetchResult::Failure::kBroken};
    }
    const Handle session(WinHttpOpen(L"HX7300", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    if (session == nullptr) {
      return {FetchResult::Failure::kBroken};
    }
    const Handle connection(WinHttpConnect(session.get(), target->host.c_str(), target->port, 0));
    HINTERNET request = connection == nullptr ? nullptr : OpenRequest(connection.get(), *target);
    if (request == nullptr) {
      return {FailureOf(GetLastError())};
    }
    AsyncRequest async(request, ReadPiece());
    if (!async.Watched()) {
      return {FetchResult::Failure::kBroken};
    }
    Exchange(async);
    return result_;
  }

 private:
  // The request, as the device makes it; null (with the thread's last error) when it cannot be.
  HINTERNET OpenRequest(HINTERNET connection, const Target& target) const {
    HINTERNET request =
        WinHttpOpenRequest(connection, sink_ != nullptr ? L"GET" : L"HEAD", target.path.c_str(),
                           nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    if (request == nullptr) {
      return nullptr;
    }
    // Every answer is the server's own: a redirection or a demand for credentials is not
    // followed, and fails the fetch with its status.
    DWORD disabled =
        WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION;
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    // Total silence ends a send or a read in WinHTTP itself, as it ends the speed watch's
    // window: so even a request given up on, and left to Wine's WinHTTP, ends after it.
    const int silence_ms = static_cast<int>(
        std::min<std::uint64_t>(std::uint64_t{limits_.low_speed_seconds} * 1000, INT_MAX));
    if (WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof(disabled)) !=
            FALSE &&
        WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never)) != FALSE &&
        WinHttpSetTimeouts(request, kConnectTimeoutMs, kConnectTimeoutMs, silence_ms, silence_ms) !=
            FALSE) {
      return request;
    }
    const DWORD error = GetLastError();
    WinHttpCloseHandle(request);
    SetLastError(error);
    return nullptr;
  }

  void Exchange(AsyncRequest& async) {
    HINTERNET request = async.Get();
    if (!Await(async,
               WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                  WINHTTP_NO_REQUEST_DATA, 0, 0, async.Context()),
               WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE)) {
      return;
    }
    // The connection is made: from here on the server is held to the least speed.
    watching_speed_ = true;
    if (!Await(async, WinHttpReceiveResponse(request, nullptr),
               WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE)) {
      return;
    }
    result_.responded = true;
    if (watch_.on_response && !watch_.on_response()) {
      result_.failure = FetchResult::Failure::kCancelled;
      return;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                            WINHTTP_NO_HEADER_INDEX) == FALSE) {
      result_.failure = FetchResult::Failure::kBroken;
      return;
    }
    result_.http_status = static_cast<long>(status);
    result_.length = ContentLength(request);
    // Only 200 brings the file; any other answer (a redirection, say) is a failure, whose body
    // is not wanted.
    if (status != HTTP_STATUS_OK) {
      result_.failure = FetchResult::Failure::kHttpStatus;
      return;
    }
    if (sink_ != nullptr) {
      ReadBody(async);
    }
  }

  void ReadBody(AsyncRequest& async) {
    const Clock::time_point began = Clock::now();
    for (;;) {
      if (!HoldToRate(began)) {
        return;
      }
      const std::span<std::uint8_t> buffer = async.Buffer();
      if (!Await(async,
                 WinHttpReadData(async.Get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                 nullptr),
                 WINHTTP_CALLBACK_STATUS_READ_COMPLETE)) {
        return;
      }
      const std::size_t count = std::min<std::size_t>(last_.bytes, buffer.size());
      if (count == 0) {
        // The end of the answer: short of the announced length, the connection broke.
        if (result_.length && received_ < *result_.length) {
          result_.failure = FetchResult::Failure::kBroken;
        }
        return;
      }
      if (received_ + count > limits_.max_bytes) {
        result_.failure = FetchResult::Failure::kTooLarge;
        return;
      }
      received_ += count;
      if (!(*sink_)(buffer.first(count))) {
        result_.failure = FetchResult::Failure::kNotKept;
        return;
      }
      if (!Watch()) {
        return;
      }
    }
  }

  // Held to a rate, the device reads a few pieces a second of it, so that it never takes much
  // more than the rate allows before it waits.
  std::size_t ReadPiece() const {
    const std::uint64_t rate = limits_.max_bytes_per_second;
    return rate == 0 ? kReadPiece
                     : static_cast<std::size_t>(std::clamp<std::uint64_t>(rate / 4, 1, kReadPiece));
  }

  // Waits, still watching, until the body so far has taken as long as the rate asks.
  bool HoldToRate(Clock::time_point began) {
    const std::uint64_t rate = limits_.max_bytes_per_second;
    if (rate == 0) {
      return true;
    }
    const auto due =
        began + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                    static_cast<double>(received_) / static_cast<double>(rate)));
    for (auto now = Clock::now(); now < due; now = Clock::now()) {
      std::this_thread::sleep_for(std::min<Clock::duration>(kWatchInterval, due - now));
      if (!Watch()) {
        return false;
      }
    }
    return true;
  }

  // Waits for the operation that started (false: it did not start) to report expected,
  // watching the transfer meanwhile; false with the failure noted when it does not.
  bool Await(AsyncRequest& async, BOOL started, DWORD expected) {
    if (started == FALSE) {
      result_.failure = FailureOf(GetLastError());
      return false;
    }
    for (;;) {
      if (const std::optional<Completion> done = async.Wait(kWatchInterval)) {
        last_ = *done;
        if (done->status == expected) {
          return true;
        }
        result_.failure = done->status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR
                              ? FailureOf(done->error)
                              : FetchResult::Failure::kBroken;
        return false;
      }
      if (!Watch()) {
        return false;
      }
    }
  }

  // Tells the watch how far the transfer is, and holds the server to the least speed; false
  // with the failure noted when either ends the transfer.
  bool Watch() {
    if (watch_.on_progress && !watch_.on_progress(received_, result_.length.value_or(0))) {
      result_.failure = FetchResult::Failure::kCancelled;
      return false;
    }
    if (watching_speed_ && !speed_.KeptUp(Clock::now(), received_)) {
      result_.failure = FetchResult::Failure::kTimedOut;
      return false;
    }
    return true;
  }

  const FetchLimits& limits_;
  const FetchWatch& watch_;
  const BodySink* sink_;
  SpeedWatch speed_;
  bool watching_speed_ = false;
  std::uint64_t received_ = 0;
  Completion last_;
  FetchResult result_;
};

class WinHttpFetcher final : public HttpFetcher {
 public:
  FetchResult Get(const std::string& url, const FetchLimits& limits, const FetchWatch& watch,
                  const BodySink& sink) override {
    return Transfer(limits, watch, &sink).Run(url);
  }
  FetchResult Head(const std::string& url, const FetchLimits& limits,
                   const FetchWatch& watch) override {
    return Transfer(limits, watch, nullptr).Run(url);
  }
};

}  // namespace

std::unique_ptr<HttpFetcher> MakeHttpClient() {
  return std::make_unique<WinHttpFetcher>();
}

}  // namespace hx::emu
