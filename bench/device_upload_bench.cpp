// Uploads an image into the configuration slot of the HX7300 that HX7300_DEVICE selects (the
// attached one when unset: through uvcvideo on Linux) and reports how close the utility comes
// to what the link allows. The per-transfer time is measured first, on reads of the status
// control; the upload's wall time is then set against its transfers at that time.
//
//   device_upload_bench [--size-kib N] [--passcode TEXT] [--reads N]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_io.h"
#include "console/silent_console.h"
#include "counting_channel.h"
#include "device/capture_device.h"
#include "device/device_selection.h"
#include "operations/image_update.h"
#include "operations/image_update_flow.h"
#include "operations/passcode.h"
#include "platform/locale_text.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  unsigned size_kib = 1024;
  std::string passcode = "1234";
  unsigned reads = 200;
};

using hx::bench::CountingChannel;

bool ParseSettings(int argc, char** argv, Settings& settings) {
  for (int i = 1; i < argc; i += 2) {
    const std::string_view flag = argv[i];
    if (i + 1 == argc) {
      return false;
    }
    const std::string value = argv[i + 1];
    char* end = nullptr;
    const unsigned long number = std::strtoul(value.c_str(), &end, 10);
    const bool numeric = !value.empty() && *end == '\0' && number > 0 && number <= 1u << 22;
    if (flag == "--size-kib" && numeric) {
      settings.size_kib = static_cast<unsigned>(number);
    } else if (flag == "--reads" && numeric) {
      settings.reads = static_cast<unsigned>(number);
    } else if (flag == "--passcode") {
      settings.passcode = value;
    } else {
      return false;
    }
  }
  return true;
}

// The mean time of one transfer, from reads of the status control (which change nothing).
HRESULT MeasureTransfer(hx::CDuzuVideoCaptureDevice& device, unsigned reads, double& seconds) {
  hx::XuPacket status;
  const auto started = Clock::now();
  for (unsigned i = 0; i < reads; ++i) {
    const HRESULT hr = device.GetXU(hx::kStatusSelector, status.Bytes());
    if (FAILED(hr)) {
      return hr;
    }
  }
  seconds = std::chrono::duration<double>(Clock::now() - started).count() / reads;
  return S_OK;
}

std::filesystem::path WriteImage(unsigned size_kib) {
  auto path = std::filesystem::temp_directory_path() /
              ("hx7300-device-bench-" + std::to_string(::getpid()) + ".bin");
  std::vector<char> bytes(static_cast<std::size_t>(size_kib) * 1024);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(i * 31 + 7);
  }
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

int Fail(const char* step, HRESULT hr) {
  std::printf("%s failed: 0x%08X\n", step, static_cast<unsigned>(hr));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  if (!ParseSettings(argc, argv, settings)) {
    std::fprintf(stderr,
                 "usage: device_upload_bench [--size-kib N] [--passcode TEXT] [--reads N]\n");
    return 2;
  }
  hx::SilentConsole console;
  hx::ScopedConsole scoped(console);
  CountingChannel* counter = nullptr;
  hx::CDuzuVideoCaptureDevice device([&](std::unique_ptr<hx::XuChannel>& channel) {
    std::unique_ptr<hx::XuChannel> selected;
    const HRESULT hr = hx::MakeChannelFromEnvironment(selected);
    if (SUCCEEDED(hr)) {
      auto counted = std::make_unique<CountingChannel>(std::move(selected));
      counter = counted.get();
      channel = std::move(counted);
    }
    return hr;
  });
  HRESULT hr = device.Initialize();
  if (FAILED(hr)) {
    return Fail("opening the device", hr);
  }
  double transfer_s = 0;
  hr = MeasureTransfer(device, settings.reads, transfer_s);
  if (FAILED(hr)) {
    return Fail("reading the status control", hr);
  }
  const std::wstring passcode = hx::platform::WidenLocaleText(settings.passcode);
  hr = hx::SendValidatePasscode(passcode.c_str(), hx::XU_OPCODE_IMGUPD_INFO, device);
  if (FAILED(hr)) {
    return Fail("validating the passcode", hr);
  }
  const auto image = WriteImage(settings.size_kib);
  counter->transfers = 0;
  const auto started = Clock::now();
  {
    hx::CImageUpdate update;
    hr = update.Initialize(&device, hx::kConfigImageIndex, image.wstring().c_str());
    if (SUCCEEDED(hr)) {
      hr = hx::XUEchoThread(device, update);
    }
  }
  const double wall_s = std::chrono::duration<double>(Clock::now() - started).count();
  std::filesystem::remove(image);
  if (FAILED(hr)) {
    return Fail("the upload", hr);
  }
  const auto transfers = counter->transfers.load();
  const double link_min_s = static_cast<double>(transfers) * transfer_s;
  std::printf("per transfer %.1f us (mean of %u status reads)\n", transfer_s * 1e6, settings.reads);
  std::printf("%8s %9s %8s %10s %11s %7s\n", "KiB", "wall s", "KB/s", "transfers", "link-min s",
              "ratio");
  std::printf("%8u %9.3f %8.1f %10llu %11.3f %7.3f\n", settings.size_kib, wall_s,
              settings.size_kib * 1.024 / wall_s, static_cast<unsigned long long>(transfers),
              link_min_s, wall_s / link_min_s);
  return 0;
}
