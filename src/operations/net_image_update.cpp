// The netimg mode: the handler sends the update's step requests while the progress thread
// follows the device's stages; each request waits until the thread says the step before it
// was accepted.
#include <string>

#include "console/report_error.h"
#include "operations/handlers.h"
#include "operations/net_image_progress.h"
#include "operations/passcode.h"
#include "platform/thread.h"
#include "protocol/net_image_steps.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

// The progress thread with what it shares with the handler. The thread never outlives them:
// one that is still running when the handler returns is stopped and joined.
class ProgressThread {
 public:
  ProgressThread(CDuzuVideoCaptureDevice& device, CAutoResetEvent& step_event) {
    context_.device = &device;
    context_.step_event = &step_event;
  }
  ~ProgressThread() { Stop(); }
  ProgressThread(const ProgressThread&) = delete;
  ProgressThread& operator=(const ProgressThread&) = delete;

  HRESULT Start() {
    return thread_.Start([this] { NetImageProgressThread(context_); });
  }

  /// Waits for the step event or the thread's end. On the end the thread is joined.
  EventOrEndResult WaitForStep() {
    const EventOrEndResult wait = WaitForEventOrThreadEnd(*context_.step_event, thread_);
    if (wait.outcome == EventOrEnd::kEnded) {
      thread_.Join();
    }
    return wait;
  }

  /// Waits for the thread's end and joins it.
  void WaitForEnd() { thread_.Join(); }

  /// The thread's verdict on the update: S_OK, or the failure the run ends with (a device's
  /// Status may be positive). S_OK until the thread has ended.
  HRESULT Outcome() const { return thread_.Started() ? S_OK : context_.outcome; }

 private:
  void Stop() {
    if (!thread_.Started()) {
      return;
    }
    // The thread waits for a status interrupt: the signal lets it see the stop.
    context_.stop.store(true);
    context_.device->StatusEvent().Set();
    thread_.Join();
  }

  NetImageProgressContext context_;
  CThread thread_;
};

// The one request buffer of the update: zeroed once, each step changes only its own fields,
// so the text of one step stays in the requests after it.
class StepRequests {
 public:
  explicit StepRequests(CDuzuVideoCaptureDevice& device) : device_(device) {
    request_.SetLength(kNetImageRequestLength);
    request_.SetOpcode(XU_OPCODE_IMGUPD_NET_INFO);
    request_.SetArg0(1);
    request_.SetArg1(0);
  }

  HRESULT SendText(std::uint16_t step, const std::string& text) {
    SetFieldText(request_.NetText(), text);
    return Send(step);
  }
  HRESULT SendPort(std::uint16_t port) {
    request_.SetPort(port);
    return Send(NETIMG_STEP_PORT);
  }
  HRESULT Send(std::uint16_t step) {
    request_.SetStep(step);
    const HRESULT hr = device_.SetXU(SelectorFor(XU_OPCODE_IMGUPD_NET_INFO), request_.Bytes());
    if (FAILED(hr)) {
      ReportError("SetXU(XU_OPCODE_IMGUPD_NET_INFO) failed!", hr);
    }
    return hr;
  }

 private:
  CDuzuVideoCaptureDevice& device_;
  XuPacket request_;
};

enum class Handover { kAccepted, kEnded, kFailed };

// After a configuration step: the device accepted it, or the thread has ended (a failure the
// thread printed, or the device's end of the update), or the wait itself failed.
Handover AwaitStep(ProgressThread& progress, HRESULT& result) {
  const EventOrEndResult wait = progress.WaitForStep();
  switch (wait.outcome) {
    case EventOrEnd::kEvent:
      return Handover::kAccepted;
    case EventOrEnd::kEnded:
      if (progress.Outcome() != S_OK) {
        result = progress.Outcome();
      }
      return Handover::kEnded;
    case EventOrEnd::kFailed:
      break;
  }
  ReportError("WaitForMultipleObjects() failed!", wait.error);
  result = wait.error;
  return Handover::kFailed;
}

// Steps 1 to 3, each sent once the one before was accepted. True when the update goes on.
bool Configure(const NetImageOptions& options, StepRequests& requests, ProgressThread& progress,
               HRESULT& result) {
  result = requests.SendText(NETIMG_STEP_SERVER, options.ServerName.value_or(""));
  if (FAILED(result) || AwaitStep(progress, result) != Handover::kAccepted) {
    return false;
  }
  result = requests.SendText(NETIMG_STEP_URL, options.UpdateUrl.value_or(""));
  if (FAILED(result) || AwaitStep(progress, result) != Handover::kAccepted) {
    return false;
  }
  result = requests.SendPort(options.ServerPort);
  return SUCCEEDED(result) && AwaitStep(progress, result) == Handover::kAccepted;
}

}  // namespace

HRESULT HandleNetImageUpdateMode(const ModeOptions& options, CDuzuVideoCaptureDevice& device) {
  HRESULT hr = ValidatePasscode(XU_OPCODE_IMGUPD_NET_INFO, device);
  if (FAILED(hr)) {
    ReportError("ValidatePasscode() failed!", hr);
    return hr;
  }
  CAutoResetEvent step_event;
  hr = step_event.Create();
  if (FAILED(hr)) {
    ReportError("CreateEvent() failed!", hr);
    return hr;
  }
  ProgressThread progress(device, step_event);
  hr = progress.Start();
  if (FAILED(hr)) {
    ReportError("CreateThread() failed!", hr);
    return hr;
  }
  StepRequests requests(device);
  if (!Configure(options.NetImage, requests, progress, hr)) {
    return hr;
  }
  hr = requests.Send(NETIMG_STEP_START);
  if (FAILED(hr)) {
    return hr;
  }
  progress.WaitForEnd();
  // The device is told the update is over however it ended.
  hr = requests.Send(NETIMG_STEP_FINAL);
  if (FAILED(hr)) {
    return hr;
  }
  return progress.Outcome() != S_OK ? progress.Outcome() : hr;
}

}  // namespace hx
