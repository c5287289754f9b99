#include "support/special_file.h"

namespace hx::test {

std::filesystem::path NotARegularFile(const std::filesystem::path&) {
  return L"\\\\.\\pipe\\hx7300-test-no-server";
}

}  // namespace hx::test
