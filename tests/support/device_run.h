#pragma once
// A device and a recording console of the test's own, for running the code under test (a
// handler, the passcode dialogue, the polling loop) against a double of the HX7300: a scripted
// channel, the in-process virtual HX7300, or another backend's channel. Every run is bounded:
// code that waits for an answer that never comes fails its test within seconds, naming what did
// not end, instead of holding the whole program until the test runner's time limit.

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>

#include "console/console_io.h"
#include "device/capture_device.h"
#include "model/firmware_model.h"
#include "operations/mode_options.h"
#include "support/recording_console.h"
#include "support/scripted_channel.h"

namespace hx::test {

/// How long one run of the code under test may take before it is broken free.
inline constexpr std::chrono::seconds kRunLimit{10};

/// One of the mode handlers of operations/handlers.h.
using ModeHandler = HRESULT (*)(const ModeOptions&, CDuzuVideoCaptureDevice&);

class DeviceRun {
 public:
  /// A device on a scripted channel (Script()); input is what standard input holds.
  explicit DeviceRun(std::string input = {});
  /// A device on the in-process virtual HX7300 model.
  explicit DeviceRun(std::shared_ptr<emu::FirmwareModel> model, std::string input = {});
  /// A device on channel, another backend's.
  explicit DeviceRun(std::unique_ptr<XuChannel> channel, std::string input = {});
  ~DeviceRun();
  DeviceRun(const DeviceRun&) = delete;
  DeviceRun& operator=(const DeviceRun&) = delete;

  /// Runs code on a thread of its own and returns its result. When it has not returned within
  /// kRunLimit the test fails, naming what, and the device is cut off (every transfer fails
  /// with 0x8007048F, its status event is signalled) until the code returns; code that still
  /// does not end aborts the program with a message.
  HRESULT Run(std::string_view what, const std::function<HRESULT(CDuzuVideoCaptureDevice&)>& code);
  /// Runs a mode handler with options, bounded as above; the failure names the handler.
  HRESULT Run(ModeHandler handler, const ModeOptions& options);

  CDuzuVideoCaptureDevice& Device() { return device_; }
  /// The scripted channel; std::bad_cast for a device made on another.
  ScriptedChannel& Script() { return dynamic_cast<ScriptedChannel&>(*double_); }

  RecordingConsole console;

 private:
  class SeverableChannel;
  void BreakFree(std::string_view what, const std::future<HRESULT>& result);

  ScopedConsole scoped_;
  std::unique_ptr<XuChannel> double_;
  SeverableChannel* channel_ = nullptr;
  CDuzuVideoCaptureDevice device_;
};

}  // namespace hx::test
