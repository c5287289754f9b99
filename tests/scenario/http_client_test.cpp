// This build's HTTP client (libcurl on Linux, WinHTTP on Windows) against a server on
// 127.0.0.1: the same results from either for what the device meets, answer by answer.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "support/http_test_server.h"
#include "support/temp_file.h"

namespace hx {
namespace {

using Failure = emu::FetchResult::Failure;

const std::vector<std::uint8_t> kFile = test::PatternBytes(3000000, 4);

// How the device asks: a GET, a HEAD, or a GET whose body or answer it does not want.
enum class Ask { kGet, kHead, kBodyUnkept, kAnswerUnwanted };

struct Case {
  const char* name;
  std::string path;
  std::uint64_t max_bytes;
  std::optional<std::uint64_t> length;
  long http_status;
  Failure failure;
  Ask ask;
  bool whole;  // the sink was given the file whole
};

constexpr std::uint64_t kAny = std::uint64_t{512} << 20;

TEST(HttpClient, EachAnswerGivesTheSameResultInEitherBuild) {
  // "/small" fits the socket's buffers: Wine's WinHTTP keeps a request it was told to drop open
  // without reading it, which would hold the server's send of a larger body for ever.
  test::HttpTestServer server(
      {{"/f", kFile}, {"/unsized", kFile}, {"/broken", kFile}, {"/small", {1, 2, 3}}});
  ASSERT_TRUE(server.Started());
  server.WithoutLength("/unsized");
  server.BreakMidway("/broken");
  server.Redirect("/old", "/f");
  const std::optional<std::uint64_t> size = kFile.size();
  const Case cases[] = {
      {"whole", "/f", kAny, size, 200, Failure::kNone, Ask::kGet, true},
      {"head", "/f", kAny, size, 200, Failure::kNone, Ask::kHead, false},
      {"not found", "/missing", kAny, 9, 404, Failure::kHttpStatus, Ask::kGet, false},
      // Not followed: a device goes only where its host sends it.
      {"redirect", "/old", kAny, 0, 302, Failure::kHttpStatus, Ask::kGet, false},
      {"no length", "/unsized", kAny, std::nullopt, 200, Failure::kNone, Ask::kGet, true},
      {"broken midway", "/broken", kAny, size, 200, Failure::kBroken, Ask::kGet, false},
      {"too large", "/f", kFile.size() - 1, size, 200, Failure::kTooLarge, Ask::kGet, false},
      {"not kept", "/small", kAny, 3, 200, Failure::kNotKept, Ask::kBodyUnkept, false},
      {"answer unwanted", "/small", kAny, {}, 0, Failure::kCancelled, Ask::kAnswerUnwanted, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t requests_before = server.Requests().size();
    std::vector<std::uint8_t> body;
    int responses = 0;
    const emu::FetchWatch watch{.on_response = [&] {
      ++responses;
      return c.ask != Ask::kAnswerUnwanted;
    }};
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + c.path;
    const auto client = emu::MakeHttpClient();
    ASSERT_NE(client, nullptr);
    const emu::FetchResult result =
        c.ask == Ask::kHead
            ? client->Head(url, {c.max_bytes}, watch)
            : client->Get(url, {c.max_bytes}, watch, [&](std::span<const std::uint8_t> bytes) {
                body.insert(body.end(), bytes.begin(), bytes.end());
                return c.ask != Ask::kBodyUnkept;
              });
    EXPECT_EQ(result.failure, c.failure);
    EXPECT_TRUE(result.responded);
    EXPECT_EQ(responses, 1);
    if (c.ask != Ask::kAnswerUnwanted) {
      EXPECT_EQ(result.http_status, c.http_status);
      EXPECT_EQ(result.length, c.length);
    }
    EXPECT_EQ(body == kFile, c.whole);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), requests_before + 1);
    EXPECT_EQ(requests.back(), (c.ask == Ask::kHead ? "HEAD " : "GET ") + c.path + " HTTP/1.1");
  }
}

TEST(HttpClient, NothingListeningIsNoAnswer) {
  const auto client = emu::MakeHttpClient();
  ASSERT_NE(client, nullptr);
  const emu::FetchResult result =
      client->Head("http://127.0.0.1:" + std::to_string(test::UnusedTcpPort()) + "/f", {}, {});
  EXPECT_EQ(result.failure, Failure::kCannotConnect);
  EXPECT_FALSE(result.responded);
}

TEST(HttpClient, ADownloadHeldToARateTakesTheTimeItAsks) {
  test::HttpTestServer server({{"/f", kFile}});
  ASSERT_TRUE(server.Started());
  const auto client = emu::MakeHttpClient();
  ASSERT_NE(client, nullptr);
  std::uint64_t received = 0;
  emu::FetchLimits limits{kAny};
  limits.max_bytes_per_second = 2000000;
  const auto start = std::chrono::steady_clock::now();
  const emu::FetchResult result =
      client->Get("http://127.0.0.1:" + std::to_string(server.Port()) + "/f", limits, {},
                  [&](std::span<const std::uint8_t> bytes) {
                    received += bytes.size();
                    return true;
                  });
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(result.failure, Failure::kNone);
  EXPECT_EQ(received, kFile.size());
  // 3 MB at 2 MB/s, held to the rate on average after a first burst (which libcurl allows):
  // far longer than the few milliseconds it takes unheld.
  EXPECT_GE(took, std::chrono::milliseconds(500));
  EXPECT_LT(took, std::chrono::seconds(10));
}

}  // namespace
}  // namespace hx
