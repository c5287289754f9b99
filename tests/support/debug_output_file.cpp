#include "support/debug_output_file.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

namespace hx::test {
namespace {

std::filesystem::path FreshPath() {
  auto path = std::filesystem::temp_directory_path() /
              ("hx7300_debug_" + std::to_string(::getpid()) + ".txt");
  std::filesystem::remove(path);
  return path;
}

}  // namespace

DebugOutputFile::DebugOutputFile()
    : path_(FreshPath()), variable_("HX7300_DEBUG_OUTPUT", path_.string()) {}

DebugOutputFile::~DebugOutputFile() {
  std::filesystem::remove(path_);
}

std::string DebugOutputFile::Contents() const {
  std::ifstream file(path_, std::ios::binary);
  std::ostringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

}  // namespace hx::test
