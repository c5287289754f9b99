// The calls on an open file on Windows, on its handle.
#include <windows.h>

#include <string_view>

#include "platform/file_handle.h"
#include "platform/win32/handle_output.h"

namespace hx::platform {
namespace {

HANDLE Handle(std::intptr_t file) {
  return reinterpret_cast<HANDLE>(file);
}

HRESULT LastError() {
  return HresultFromError(::GetLastError());
}

std::uint64_t Joined(DWORD high, DWORD low) {
  return (std::uint64_t{high} << 32) | low;
}

}  // namespace

HRESULT CloseFile(std::intptr_t file) {
  return ::CloseHandle(Handle(file)) ? S_OK : LastError();
}

HRESULT ReadFromFile(std::intptr_t file, std::span<std::uint8_t> buffer, std::size_t& read) {
  const DWORD chunk = buffer.size() > 0x10000000u ? 0x10000000u : static_cast<DWORD>(buffer.size());
  DWORD got = 0;
  read = 0;
  if (!::ReadFile(Handle(file), buffer.data(), chunk, &got, nullptr)) {
    return LastError();
  }
  read = got;
  return S_OK;
}

HRESULT ReadFileAt(std::intptr_t file, std::uint64_t offset, std::span<std::uint8_t> buffer,
                   std::size_t& got) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!::ReadFile(Handle(file), buffer.data(), static_cast<DWORD>(buffer.size()), &read, &at) &&
      ::GetLastError() != ERROR_HANDLE_EOF) {
    return LastError();
  }
  got = read;
  return S_OK;
}

HRESULT WriteToFile(std::intptr_t file, std::span<const std::uint8_t> bytes) {
  return WriteAllToHandle(
      Handle(file), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

HRESULT SyncFile(std::intptr_t file) {
  return ::FlushFileBuffers(Handle(file)) ? S_OK : LastError();
}

HRESULT FileSize(std::intptr_t file, std::uint64_t& size) {
  LARGE_INTEGER length{};
  if (!::GetFileSizeEx(Handle(file), &length)) {
    return LastError();
  }
  size = static_cast<std::uint64_t>(length.QuadPart);
  return S_OK;
}

HRESULT IdentifyFile(std::intptr_t file, FileIdentity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(Handle(file), &info)) {
    return LastError();
  }
  identity = {
      .volume = info.dwVolumeSerialNumber,
      .index = Joined(info.nFileIndexHigh, info.nFileIndexLow),
      .size = Joined(info.nFileSizeHigh, info.nFileSizeLow),
      .written = Joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime)};
  return S_OK;
}

}  // namespace hx::platform
