#include "support/http_test_server.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace hx::test {
namespace {

constexpr auto kRequestTimeout = std::chrono::seconds(5);

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The request line and headers, up to the empty line; empty when the client went first.
std::string ReadHead(StreamSocket& client) {
  std::string head;
  std::array<std::uint8_t, 1> byte{};
  while (!head.ends_with("\r\n\r\n")) {
    if (FAILED(client.ReceiveExact(byte, kRequestTimeout))) {
      return {};
    }
    head.push_back(static_cast<char>(byte[0]));
  }
  return head;
}

std::string LengthHeader(std::size_t length) {
  return "Content-Length: " + std::to_string(length) + "\r\n";
}

// The status line and headers of an answer, headers (each ending in CRLF) among them.
std::string Header(const char* status, const std::string& headers) {
  return std::string("HTTP/1.1 ") + status + "\r\n" + headers +
         "Content-Type: application/octet-stream\r\nConnection: close\r\n\r\n";
}

}  // namespace

HttpTestServer::HttpTestServer(std::map<std::string, std::vector<std::uint8_t>> files)
    : files_(std::move(files)) {
  started_ = SUCCEEDED(listener_.ListenTcp("127.0.0.1", 0));
  port_ = listener_.Port();
  if (started_) {
    thread_ = std::thread([this] { Serve(); });
  }
}

HttpTestServer::~HttpTestServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_.store(true);
  }
  stop_cv_.notify_all();
  if (thread_.joinable()) {
    thread_.join();
  }
  listener_.Close();
}

void HttpTestServer::BreakMidway(const std::string& path) {
  std::lock_guard lock(mutex_);
  broken_.insert(path);
}

void HttpTestServer::Trickle(const std::string& path) {
  std::lock_guard lock(mutex_);
  trickled_.insert(path);
}

void HttpTestServer::WithoutLength(const std::string& path) {
  std::lock_guard lock(mutex_);
  unsized_.insert(path);
}

void HttpTestServer::Redirect(const std::string& path, const std::string& location) {
  std::lock_guard lock(mutex_);
  redirected_[path] = location;
}

void HttpTestServer::Hold(const std::string& path) {
  std::lock_guard lock(mutex_);
  held_.insert(path);
}

std::vector<std::string> HttpTestServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void HttpTestServer::Serve() {
  while (!Stopping()) {
    StreamSocket client;
    if (FAILED(listener_.Accept(client, [this] { return Stopping(); }))) {
      return;
    }
    Answer(client);
    client.Shutdown();
    client.Close();
  }
}

void HttpTestServer::Answer(StreamSocket& client) {
  const std::string head = ReadHead(client);
  const std::string line = head.substr(0, head.find("\r\n"));
  const std::size_t path_start = line.find(' ') + 1;
  const std::string path = line.substr(path_start, line.find(' ', path_start) - path_start);
  std::unique_lock lock(mutex_);
  requests_.push_back(line);
  if (held_.contains(path)) {
    stop_cv_.wait(lock, [this] { return Stopping(); });
    return;
  }
  const bool head_only = line.starts_with("HEAD ");
  if (const auto location = redirected_.find(path); location != redirected_.end()) {
    const std::string header =
        Header("302 Found", LengthHeader(0) + "Location: " + location->second + "\r\n");
    lock.unlock();
    client.SendAll(Bytes(header));
    return;
  }
  const auto file = files_.find(path);
  if (head.empty() || file == files_.end()) {
    lock.unlock();
    const std::string body = "Not Found";
    client.SendAll(
        Bytes(Header("404 Not Found", LengthHeader(body.size())) + (head_only ? "" : body)));
    return;
  }
  const std::vector<std::uint8_t>& contents = file->second;
  const std::size_t sent = head_only                ? 0
                           : broken_.contains(path) ? contents.size() / 2
                                                    : contents.size();
  const bool trickle = trickled_.contains(path);
  const std::string header =
      Header("200 OK", unsized_.contains(path) ? "" : LengthHeader(contents.size()));
  lock.unlock();
  if (FAILED(client.SendAll(Bytes(header)))) {
    return;
  }
  if (trickle) {
    SendTrickle(client, std::span(contents).first(sent));
  } else {
    client.SendAll(std::span(contents).first(sent));
  }
}

void HttpTestServer::SendTrickle(StreamSocket& client, std::span<const std::uint8_t> body) {
  for (std::size_t at = 0; at < body.size(); at += 2) {
    std::unique_lock lock(mutex_);
    if (stop_cv_.wait_for(lock, std::chrono::seconds(1), [this] { return Stopping(); }) ||
        FAILED(client.SendAll(body.subspan(at, std::min<std::size_t>(2, body.size() - at))))) {
      return;
    }
  }
}

std::uint16_t UnusedTcpPort() {
  ListeningSocket probe;
  if (FAILED(probe.ListenTcp("127.0.0.1", 0))) {
    return 0;
  }
  const std::uint16_t port = probe.Port();
  probe.Close();
  return port;
}

}  // namespace hx::test
