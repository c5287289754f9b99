#include "platform/private_file.h"

#include <cstdint>

#include "platform/file_handle.h"
#include "platform/private_file_system.h"

namespace hx::platform {
namespace {

// Reads the rest of file into bytes, size counting what it holds; a file that does not end
// when bytes is full is refused.
HRESULT ReadWhole(std::intptr_t file, std::span<std::uint8_t> bytes, std::size_t& size,
                  std::string& problem) {
  for (;;) {
    std::size_t got = 0;
    const HRESULT hr = ReadFromFile(file, bytes.subspan(size), got);
    if (FAILED(hr) || got == 0) {
      return hr;
    }
    size += got;
    if (size == bytes.size()) {
      std::uint8_t beyond = 0;
      if (FAILED(ReadFromFile(file, std::span(&beyond, 1), got)) || got != 0) {
        problem = "it is larger than a passcode file can be";
        return kHrInsufficientBuffer;
      }
      return S_OK;
    }
  }
}

}  // namespace

HRESULT ReadPrivateFile(const std::wstring& path, std::span<char> buffer, std::size_t& size,
                        std::string& problem) {
  size = 0;
  std::intptr_t file = 0;
  const HRESULT opened = OpenPrivateFile(path, file, problem);
  if (FAILED(opened)) {
    return opened;
  }
  const HRESULT hr =
      ReadWhole(file, std::span(reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size()),
                size, problem);
  // Only read from: nothing of it can be lost at the close.
  CloseFile(file);
  return hr;
}

}  // namespace hx::platform
