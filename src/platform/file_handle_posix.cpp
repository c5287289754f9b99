// The calls on an open file on POSIX, on its descriptor. A signal that interrupts a read or a
// write does not end it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/byte_output.h"
#include "platform/file_handle.h"
#include "platform/system_error.h"

namespace hx::platform {
namespace {

int Fd(std::intptr_t file) {
  return static_cast<int>(file);
}

HRESULT LastError() {
  return HresultFromErrno(errno);
}

}  // namespace

HRESULT CloseFile(std::intptr_t file) {
  return ::close(Fd(file)) == 0 ? S_OK : LastError();
}

HRESULT ReadFromFile(std::intptr_t file, std::span<std::uint8_t> buffer, std::size_t& read) {
  read = 0;
  for (;;) {
    const ssize_t got = ::read(Fd(file), buffer.data(), buffer.size());
    if (got >= 0) {
      read = static_cast<std::size_t>(got);
      return S_OK;
    }
    if (errno != EINTR) {
      return LastError();
    }
  }
}

HRESULT ReadFileAt(std::intptr_t file, std::uint64_t offset, std::span<std::uint8_t> buffer,
                   std::size_t& got) {
  ssize_t read = 0;
  do {
    read = ::pread(Fd(file), buffer.data(), buffer.size(), static_cast<off_t>(offset));
  } while (read < 0 && errno == EINTR);
  if (read < 0) {
    return LastError();
  }
  got = static_cast<std::size_t>(read);
  return S_OK;
}

HRESULT WriteToFile(std::intptr_t file, std::span<const std::uint8_t> bytes) {
  return WriteAllToDescriptor(
      Fd(file), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

HRESULT SyncFile(std::intptr_t file) {
  return ::fsync(Fd(file)) == 0 ? S_OK : LastError();
}

HRESULT FileSize(std::intptr_t file, std::uint64_t& size) {
  struct stat info {};
  if (::fstat(Fd(file), &info) != 0) {
    return LastError();
  }
  size = static_cast<std::uint64_t>(info.st_size);
  return S_OK;
}

HRESULT IdentifyFile(std::intptr_t file, FileIdentity& identity) {
  struct stat info {};
  if (::fstat(Fd(file), &info) != 0) {
    return LastError();
  }
  identity = {.volume = info.st_dev,
              .index = info.st_ino,
              .size = static_cast<std::uint64_t>(info.st_size),
              .written = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1'000'000'000u +
                         static_cast<std::uint64_t>(info.st_mtim.tv_nsec)};
  return S_OK;
}

}  // namespace hx::platform
