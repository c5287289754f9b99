// Every heap block freed while the passcode dialogue runs is searched for the typed passcode,
// as 8-bit and as wide text: the scratch copies must be wiped before they are released. A
// program of its own, because it replaces the global allocation functions to look at each
// block as it is freed.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <string_view>

#include "console/console_io.h"
#include "console/passcode_file.h"
#include "device/capture_device.h"
#include "operations/passcode.h"
#include "protocol/opcodes.h"
#include "protocol/status_packet.h"
#include "support/temp_file.h"

namespace {

constexpr std::string_view kNarrowPasscode = "Zq7Xw9Kp";
constexpr std::wstring_view kWidePasscode = L"Zq7Xw9Kp";

std::atomic<bool> g_watching{false};
std::atomic<int> g_blocks_freed{0};
std::atomic<int> g_blocks_holding_passcode{0};

// Each block carries its size in front of it, so that an unsized release knows its extent.
struct alignas(std::max_align_t) BlockHeader {
  std::size_t size;
};

bool Holds(const unsigned char* block, std::size_t size, const void* text, std::size_t length) {
  const auto* first = static_cast<const unsigned char*>(text);
  return std::search(block, block + size, first, first + length) != block + size;
}

void* Allocate(std::size_t size) {
  auto* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (header == nullptr) {
    return nullptr;
  }
  header->size = size;
  return header + 1;
}

void Release(void* memory) {
  if (memory == nullptr) {
    return;
  }
  BlockHeader* header = static_cast<BlockHeader*>(memory) - 1;
  if (g_watching) {
    const auto* bytes = static_cast<const unsigned char*>(memory);
    g_blocks_freed.fetch_add(1);
    if (Holds(bytes, header->size, kNarrowPasscode.data(), kNarrowPasscode.size()) ||
        Holds(bytes, header->size, kWidePasscode.data(), kWidePasscode.size() * sizeof(wchar_t))) {
      g_blocks_holding_passcode.fetch_add(1);
    }
  }
  std::free(header);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = Allocate(size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* memory) noexcept {
  Release(memory);
}
void operator delete[](void* memory) noexcept {
  Release(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  Release(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  Release(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  Release(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept {
  Release(memory);
}

namespace hx {
namespace {

// Types the passcode from constant storage, so that no heap copy of it belongs to the test.
class TypingConsole final : public ConsoleIo {
 public:
  void WriteWide(std::wstring_view) override {}
  void WriteNarrow(std::string_view) override {}
  void WriteNarrowInPlace(std::string_view) override {}
  void WriteErrorLine(std::wstring_view) override {}
  HRESULT OutputFailure() const override { return S_OK; }
  int ReadChar() override { return -1; }
  HRESULT ReadHiddenLine(std::wstring_view, std::span<wchar_t> dest, std::size_t& count) override {
    constexpr std::wstring_view kLine = L"Zq7Xw9Kp\r\n";
    count = std::min(kLine.size(), dest.size());
    std::copy_n(kLine.begin(), count, dest.begin());
    return S_OK;
  }
};

// A device that accepts every passcode and keeps nothing of what it is sent.
class AcceptingChannel final : public XuChannel {
 public:
  HRESULT Open(CAutoResetEvent& status_event) override {
    event_ = &status_event;
    return S_OK;
  }
  HRESULT Set(std::uint8_t, XuConstBytes) override {
    event_->Set();
    return S_OK;
  }
  HRESULT Get(std::uint8_t selector, XuBytes packet) override {
    XuPacket reply;
    if (selector == kStatusSelector) {
      const std::uint8_t waiting[] = {XU_OPCODE_SYSTEM_CONFIG};
      reply = XuStatusPacket::Build(waiting);
    } else {
      reply.SetOpcode(XU_OPCODE_SYSTEM_CONFIG);
    }
    std::ranges::copy(reply.Bytes(), packet.begin());
    return S_OK;
  }
  void Close() override {}

 private:
  CAutoResetEvent* event_ = nullptr;
};

class PasscodeWipe : public ::testing::Test {
 protected:
  PasscodeWipe()
      : scoped_(console_), device_([](std::unique_ptr<XuChannel>& channel) {
          channel = std::make_unique<AcceptingChannel>();
          return S_OK;
        }) {}

  void SetUp() override { ASSERT_EQ(device_.Initialize(), S_OK); }

  template <typename Dialogue>
  void Watch(Dialogue dialogue) {
    g_blocks_freed = 0;
    g_blocks_holding_passcode = 0;
    g_watching = true;
    const HRESULT hr = dialogue();
    g_watching = false;
    EXPECT_EQ(hr, S_OK);
  }

  TypingConsole console_;
  ScopedConsole scoped_;
  CDuzuVideoCaptureDevice device_;
};

TEST_F(PasscodeWipe, ValidationFreesNoCopyOfThePasscode) {
  Watch([this] { return ValidatePasscode(XU_OPCODE_IMGUPD_INFO, device_); });
  // The read's scratch line and the 8-bit copy for the request at least.
  EXPECT_GE(g_blocks_freed, 2);
  EXPECT_EQ(g_blocks_holding_passcode, 0);
}

TEST_F(PasscodeWipe, APasscodeFileLeavesNoCopyOfItsPasscode) {
  test::TempDir dir;
  const auto file_path = dir.Write("passcode", {'Z', 'q', '7', 'X', 'w', '9', 'K', 'p', '\n'});
  std::filesystem::permissions(file_path, std::filesystem::perms::owner_read);
  const std::wstring path = file_path.wstring();
  CPasscodeFile file;
  std::string problem;
  Watch([&] {
    const HRESULT opened = file.Open(path, problem);
    if (FAILED(opened)) {
      return opened;
    }
    const ScopedPasscodeFile in_use(file);
    return ValidatePasscode(XU_OPCODE_IMGUPD_INFO, device_);
  });
  EXPECT_EQ(problem, "");
  EXPECT_EQ(g_blocks_holding_passcode, 0);
}

TEST_F(PasscodeWipe, ChangeFreesNoCopyOfAnyOfTheThreePasscodes) {
  Watch([this] { return ChangePasscode(device_); });
  EXPECT_GE(g_blocks_freed, 5);
  EXPECT_EQ(g_blocks_holding_passcode, 0);
}

}  // namespace
}  // namespace hx
