// Uploads images through the in-process virtual HX7300 and reports what the utility costs on
// top of the link: throughput and CPU time per MiB with no link delay, and the ratio of wall
// time to the link-bound minimum (every SET and GET transfer taking the given delay).
//
//   image_upload_bench [--latency-us N] [--sizes-mib 1,8,40] [--log FILE] [--record FILE]
//                      [--help]
//
// --log and --record put in place what HX7300_LOG and HX7300_RECORD do for a run of hx7300, so
// that their cost shows beside the upload's own.

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench_options.h"
#include "console/console_io.h"
#include "console/json_run_log.h"
#include "console/logged_console.h"
#include "console/silent_console.h"
#include "counting_channel.h"
#include "device/capture_device.h"
#include "device/emulator/emulator_channel.h"
#include "operations/image_update.h"
#include "operations/image_update_flow.h"
#include "operations/passcode.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"

// Every allocation in the process is counted, the virtual device's own included, to show
// that nothing is allocated per data packet.
std::atomic<std::uint64_t> g_allocations{0};

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace {

using Clock = std::chrono::steady_clock;

using hx::bench::CountingChannel;

long AnonymousKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) {
      return std::strtol(line.c_str() + 8, nullptr, 10);
    }
  }
  return -1;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Result {
  HRESULT hr;
  double wall_s;
  double cpu_s;
  std::uint64_t transfers;
  long peak_anon_kib;
  std::uint64_t allocations;
};

Result Upload(const std::filesystem::path& image, const std::filesystem::path& state_dir,
              const bench::Options& bench_options) {
  hx::emu::FirmwareOptions options;
  options.state_dir = state_dir.string();
  options.faults.latency_us = bench_options.latency_us;
  auto model = std::make_shared<hx::emu::FirmwareModel>(options);
  CountingChannel* counter = nullptr;
  hx::CDuzuVideoCaptureDevice device([&](std::unique_ptr<hx::XuChannel>& channel) {
    auto counting = std::make_unique<CountingChannel>(std::make_unique<hx::EmulatorChannel>(model));
    counter = counting.get();
    channel = std::move(counting);
    return S_OK;
  });
  if (!bench_options.record.empty()) {
    auto recording = std::make_shared<hx::TransferRecording>();
    if (const HRESULT hr = recording->Open(std::filesystem::path(bench_options.record).wstring());
        FAILED(hr)) {
      return {hr, 0, 0, 0, 0, 0};
    }
    device.RecordTransfers(std::move(recording));
  }
  Result result{device.Initialize(), 0, 0, 0, 0, 0};
  if (FAILED(result.hr)) {
    return result;
  }
  result.hr = hx::SendValidatePasscode(L"1234", hx::XU_OPCODE_IMGUPD_INFO, device);
  if (FAILED(result.hr)) {
    return result;
  }
  std::atomic<bool> done{false};
  std::atomic<long> peak{AnonymousKib()};
  std::thread sampler([&] {
    while (!done) {
      peak = std::max(peak.load(), AnonymousKib());
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  counter->transfers = 0;
  const std::uint64_t allocations_before = g_allocations;
  const double cpu_before = CpuSeconds();
  const auto started = Clock::now();
  {
    hx::CImageUpdate update;
    result.hr = update.Initialize(&device, hx::kConfigImageIndex, image.wstring().c_str());
    if (SUCCEEDED(result.hr)) {
      result.hr = hx::XUEchoThread(device, update);
    }
  }
  result.wall_s = std::chrono::duration<double>(Clock::now() - started).count();
  result.cpu_s = CpuSeconds() - cpu_before;
  result.allocations = g_allocations - allocations_before;
  done = true;
  sampler.join();
  result.transfers = counter->transfers;
  result.peak_anon_kib = peak;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  bench::Options options;
  std::string error;
  if (!bench::ParseOptions(std::vector<std::string_view>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "image_upload_bench: %s\n%s", error.c_str(), bench::kUsage);
    return 2;
  }
  if (options.help) {
    std::fputs(bench::kUsage, stdout);
    return 0;
  }
  const std::uint32_t latency_us = options.latency_us;
  const std::vector<int>& sizes_mib = options.sizes_mib;
  // Progress lines go nowhere: the benchmark measures the transfer, not the terminal.
  hx::SilentConsole console;
  hx::ScopedConsole scoped(console);
  std::optional<hx::JsonRunLog> log;
  std::optional<hx::ScopedRunLog> scoped_log;
  std::optional<hx::LoggedConsole> logged_console;
  std::optional<hx::ScopedConsole> scoped_logged_console;
  if (!options.log.empty()) {
    log.emplace("image_upload_bench", "1.0");
    if (FAILED(log->Open(std::filesystem::path(options.log).wstring()))) {
      std::fprintf(stderr, "image_upload_bench: %s cannot be written\n", options.log.c_str());
      return 1;
    }
    log->Start({"img", {{"-i", "config"}}, "emulator"});
    scoped_log.emplace(*log);
    logged_console.emplace(console, *log);
    scoped_logged_console.emplace(*logged_console);
  }
  const auto work =
      std::filesystem::temp_directory_path() / ("hx7300-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(work / "slots");
  std::printf("latency %u us per transfer\n", latency_us);
  std::printf("%6s %9s %8s %11s %10s %11s %8s %14s %12s\n", "MiB", "wall s", "MB/s", "CPU ms/MiB",
              "transfers", "link-min s", "ratio", "peak anon KiB", "allocs/block");
  int status = 0;
  for (const int mib : sizes_mib) {
    const auto image = work / ("image-" + std::to_string(mib) + ".bin");
    {
      std::ofstream out(image, std::ios::binary);
      std::vector<char> chunk(1 << 20);
      for (int m = 0; m < mib; ++m) {
        for (std::size_t i = 0; i < chunk.size(); ++i) {
          chunk[i] = static_cast<char>(i * 31 + static_cast<std::size_t>(m));
        }
        out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      }
    }
    const Result r = Upload(image, work / "slots", options);
    if (FAILED(r.hr)) {
      std::printf("%8d upload failed: 0x%08X\n", mib, static_cast<unsigned>(r.hr));
      status = 1;
      continue;
    }
    const double link_min = static_cast<double>(r.transfers) * latency_us / 1e6;
    const double blocks = std::ceil(mib * 1048576.0 / hx::kBlockSize);
    std::printf("%6d %9.3f %8.1f %11.2f %10llu %11.3f %8s %14ld %12.2f\n", mib, r.wall_s,
                mib * 1.048576 / r.wall_s, r.cpu_s * 1000 / mib,
                static_cast<unsigned long long>(r.transfers), link_min,
                latency_us == 0 ? "-" : std::to_string(r.wall_s / link_min).substr(0, 6).c_str(),
                r.peak_anon_kib, static_cast<double>(r.allocations) / blocks);
    std::filesystem::remove(image);
  }
  std::filesystem::remove_all(work);
  return status;
}
