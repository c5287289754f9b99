#pragma once
// Python's own HTTP server (python3 -m http.server) serving a directory on 127.0.0.1, from
// construction to destruction, for end-to-end tests against a server the tests did not write.

#include <sys/types.h>

#include <cstdint>
#include <filesystem>

namespace hx::test {

class PythonHttpServer {
 public:
  /// Starts the server on a port the system chooses and waits for the line that names it.
  explicit PythonHttpServer(const std::filesystem::path& directory);
  /// Stops the server and waits for it.
  ~PythonHttpServer();
  PythonHttpServer(const PythonHttpServer&) = delete;
  PythonHttpServer& operator=(const PythonHttpServer&) = delete;

  bool Started() const { return port_ != 0; }
  std::uint16_t Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace hx::test
