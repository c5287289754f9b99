#include <sys/stat.h>

#include "support/special_file.h"

namespace hx::test {

std::filesystem::path NotARegularFile(const std::filesystem::path& dir) {
  const auto fifo = dir / "image.fifo";
  ::mkfifo(fifo.c_str(), 0600);
  return fifo;
}

}  // namespace hx::test
