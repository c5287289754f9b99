// The HTTP client of builds that have libcurl.
#include <curl/curl.h>

#include <algorithm>
#include <limits>

#include "http/http_client.h"

namespace hx::emu {
namespace {

constexpr long kConnectTimeoutS = 10;
// A server that accepts the connection but sends slower than this (a trickle, or nothing) for
// FetchLimits::low_speed_seconds is given up on, as one that cannot be reached is after the
// connect time limit.
constexpr std::uint64_t kLowSpeedBytesPerSecond = 1024;

struct Transfer {
  const FetchWatch& watch;
  const FetchLimits& limits;
  const BodySink* sink;  // null for a HEAD
  std::uint64_t received = 0;
  bool responded = false;
  bool cancelled = false;
  bool too_large = false;
  bool not_kept = false;
};

std::size_t OnHeader(char*, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  if (!transfer.responded) {
    transfer.responded = true;
    if (transfer.watch.on_response && !transfer.watch.on_response()) {
      transfer.cancelled = true;
      return 0;
    }
  }
  return size * count;
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer.received + bytes > transfer.limits.max_bytes) {
    transfer.too_large = true;
    return 0;
  }
  transfer.received += bytes;
  if (transfer.sink == nullptr ||
      !(*transfer.sink)(std::span(reinterpret_cast<const std::uint8_t*>(data), bytes))) {
    transfer.not_kept = true;
    return 0;
  }
  return bytes;
}

int OnProgress(void* user, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(user);
  if (transfer.watch.on_progress &&
      !transfer.watch.on_progress(static_cast<std::uint64_t>(received),
                                  static_cast<std::uint64_t>(expected))) {
    transfer.cancelled = true;
    return 1;
  }
  return 0;
}

FetchResult::Failure FailureOf(CURLcode code, const Transfer& transfer) {
  if (transfer.cancelled) {
    return FetchResult::Failure::kCancelled;
  }
  switch (code) {
    case CURLE_OK:
      return FetchResult::Failure::kNone;
    case CURLE_HTTP_RETURNED_ERROR:
      return FetchResult::Failure::kHttpStatus;
    case CURLE_COULDNT_RESOLVE_HOST:
      return FetchResult::Failure::kCannotResolve;
    case CURLE_COULDNT_CONNECT:
      return FetchResult::Failure::kCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return FetchResult::Failure::kTimedOut;
    case CURLE_WRITE_ERROR:
      return transfer.too_large  ? FetchResult::Failure::kTooLarge
             : transfer.not_kept ? FetchResult::Failure::kNotKept
                                 : FetchResult::Failure::kBroken;
    default:
      return FetchResult::Failure::kBroken;
  }
}

// One request: a GET into sink, or a HEAD (sink null).
FetchResult Perform(const std::string& url, const FetchLimits& limits, const FetchWatch& watch,
                    const BodySink* sink) {
  Transfer transfer{watch, limits, sink};
  const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                 curl_easy_cleanup);
  if (curl == nullptr) {
    return {FetchResult::Failure::kBroken};
  }
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_NOBODY, sink == nullptr ? 1L : 0L);
  // Threads of the device share the process: no signals for time limits.
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
  // A device slowed down on purpose must not take itself for a trickling server.
  const std::uint64_t low_speed =
      limits.max_bytes_per_second != 0
          ? std::min(kLowSpeedBytesPerSecond, limits.max_bytes_per_second)
          : kLowSpeedBytesPerSecond;
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(low_speed));
  curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.low_speed_seconds));
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "HX7300");
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  if (limits.max_bytes_per_second != 0) {
    curl_easy_setopt(handle, CURLOPT_MAX_RECV_SPEED_LARGE,
                     static_cast<curl_off_t>(std::min<std::uint64_t>(
                         limits.max_bytes_per_second, std::numeric_limits<curl_off_t>::max())));
  }
  const CURLcode code = curl_easy_perform(handle);
  FetchResult result{FailureOf(code, transfer)};
  result.responded = transfer.responded;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &result.http_status);
  curl_off_t length = -1;
  if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
      length >= 0) {
    result.length = static_cast<std::uint64_t>(length);
  }
  // Only 200 brings the file; any other answer (a redirection, say) is a failure too.
  if (result.failure == FetchResult::Failure::kNone && result.http_status != 200) {
    result.failure = FetchResult::Failure::kHttpStatus;
  }
  return result;
}

class CurlFetcher final : public HttpFetcher {
 public:
  FetchResult Get(const std::string& url, const FetchLimits& limits, const FetchWatch& watch,
                  const BodySink& sink) override {
    return Perform(url, limits, watch, &sink);
  }
  FetchResult Head(const std::string& url, const FetchLimits& limits,
                   const FetchWatch& watch) override {
    return Perform(url, limits, watch, nullptr);
  }
};

}  // namespace

std::unique_ptr<HttpFetcher> MakeHttpClient() {
  // Once per process, before any thread uses the library.
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_NOTHING);
  if (initialised != CURLE_OK) {
    return nullptr;
  }
  return std::make_unique<CurlFetcher>();
}

}  // namespace hx::emu
