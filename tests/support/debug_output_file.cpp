#include "support/debug_output_file.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace hx::test {

DebugOutputFile::DebugOutputFile()
    : path_(std::filesystem::temp_directory_path() /
            ("hx7300_debug_" + std::to_string(::getpid()) + ".txt")) {
  std::filesystem::remove(path_);
  ::setenv("HX7300_DEBUG_OUTPUT", path_.c_str(), 1);
}

DebugOutputFile::~DebugOutputFile() {
  ::unsetenv("HX7300_DEBUG_OUTPUT");
  std::filesystem::remove(path_);
}

std::string DebugOutputFile::Contents() const {
  std::ifstream file(path_, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

}  // namespace hx::test
