// What the state directory does the same way on every system, on top of its per-system calls.
#include <array>

#include "platform/state_directory.h"

namespace hx {

CStateFileReader::~CStateFileReader() {
  Close();
}

CStateFileReader& CStateFileReader::operator=(CStateFileReader&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

HRESULT CStateDirectory::Read(std::string_view name, std::vector<std::uint8_t>& contents) const {
  contents.clear();
  CStateFileReader reader;
  HRESULT hr = OpenForReading(name, reader);
  std::array<std::uint8_t, 4096> block{};
  for (std::size_t got = 1; SUCCEEDED(hr) && got != 0;) {
    hr = reader.Read(block, got);
    if (SUCCEEDED(hr)) {
      contents.insert(contents.end(), block.begin(), block.begin() + got);
    }
  }
  return hr;
}

}  // namespace hx
