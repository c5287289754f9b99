#pragma once
// Files for tests in a fresh temporary directory, removed with the object.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace hx::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  /// Writes a file of the given bytes and returns its path.
  std::filesystem::path Write(const std::string& name, const std::vector<std::uint8_t>& bytes);

 private:
  std::filesystem::path path_;
};

/// size bytes of a pattern that differs from packet to packet and block to block.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint8_t seed = 1);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path);

}  // namespace hx::test
