#pragma once
// The virtual HX7300's HTTP client: one HTTP/1.1 GET at a time, its body handed on as it comes.
// The client itself is not part of the device's core: whoever builds the device hands it one,
// and a device without one cannot update from the network.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace hx::emu {

struct FetchLimits {
  std::uint64_t max_bytes = 0;             ///< a longer body fails the fetch as too large
  std::uint64_t max_bytes_per_second = 0;  ///< 0: no speed limit
  /// A transfer slower than 1 KiB a second for this long fails as timed out, as one that
  /// stalls does (or slower than max_bytes_per_second, when that is less).
  std::uint32_t low_speed_seconds = 30;
};

/// Takes the body as it comes, in order; false when it cannot keep it, which ends the fetch.
using BodySink = std::function<bool(std::span<const std::uint8_t> bytes)>;

/// Called on the fetching thread while a fetch runs; false from either ends it as cancelled.
struct FetchWatch {
  /// The server has begun its answer (its status line has come).
  std::function<bool()> on_response{};
  /// Now and then while the body comes: bytes received and the length the server announced
  /// (0 when it announced none). Also called, with nothing new, while the fetch waits.
  std::function<bool(std::uint64_t received, std::uint64_t expected)> on_progress{};
};

struct FetchResult {
  enum class Failure {
    kNone,
    kCannotResolve,  ///< the server's name is not known
    kCannotConnect,  ///< nothing answers at the server's address and port
    kTimedOut,       ///< no connection, or no data for too long
    kHttpStatus,     ///< the server answered with a status other than 200 OK
    kBroken,         ///< the connection ended before the whole answer had come
    kTooLarge,       ///< the body is longer than the limit
    kNotKept,        ///< the body sink refused it
    kCancelled,      ///< the watch said so
  };
  Failure failure = Failure::kNone;
  long http_status = 0;                   ///< the server's status code, when it answered
  bool responded = false;                 ///< whether the server began an answer
  std::optional<std::uint64_t> length{};  ///< the body's length as the server announced it
};

class HttpFetcher {
 public:
  virtual ~HttpFetcher() = default;
  /// GETs url (an "http://" URL), handing its body to sink.
  virtual FetchResult Get(const std::string& url, const FetchLimits& limits,
                          const FetchWatch& watch, const BodySink& sink) = 0;
  /// Asks for url's headers alone (HEAD): whether it is there, and its length.
  virtual FetchResult Head(const std::string& url, const FetchLimits& limits,
                           const FetchWatch& watch) = 0;
};

/// Makes the HTTP client of one update; null where none can be made.
using HttpFetcherFactory = std::function<std::unique_ptr<HttpFetcher>()>;

}  // namespace hx::emu
