// What the state directory does the same way on every system, on top of its per-system calls.
#include <array>

#include "platform/file_handle.h"
#include "platform/state_directory.h"

namespace hx {

CStateFile::~CStateFile() {
  Close();
}

HRESULT CStateFile::Write(std::span<const std::uint8_t> bytes) {
  return platform::WriteToFile(handle_, bytes);
}

HRESULT CStateFile::Sync() {
  return platform::SyncFile(handle_);
}

HRESULT CStateFile::Close() {
  if (handle_ < 0) {
    return S_OK;
  }
  const HRESULT closed = platform::CloseFile(handle_);
  handle_ = -1;
  return closed;
}

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

void CStateFileReader::Close() {
  if (handle_ >= 0) {
    platform::CloseFile(handle_);
    handle_ = -1;
  }
}

HRESULT CStateFileReader::Read(std::span<std::uint8_t> buffer, std::size_t& read) {
  return platform::ReadFromFile(handle_, buffer, read);
}

HRESULT CStateFileReader::Size(std::uint64_t& size) const {
  return platform::FileSize(handle_, size);
}

CStateDirectory::~CStateDirectory() {
  if (handle_ >= 0) {
    platform::CloseFile(handle_);
  }
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
