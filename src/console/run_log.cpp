#include "console/run_log.h"

namespace hx {
namespace {

class SilentLog final : public RunLog {
 public:
  void Start(const RunStart&) override {}
  void Stage(std::string_view) override {}
  void DeviceMessage(std::string_view) override {}
  void Failure(std::string_view, HRESULT, std::string_view) override {}
  void Progress(const RunProgress&) override {}
  void Sent(std::uint64_t) override {}
  void End(HRESULT, int) override {}
};

SilentLog g_silent;
RunLog* g_log = &g_silent;
thread_local int t_recorded_depth = 0;

}  // namespace

RunLog& Log() {
  return *g_log;
}

ScopedRunLog::ScopedRunLog(RunLog& log) : previous_(g_log) {
  g_log = &log;
}

ScopedRunLog::~ScopedRunLog() {
  g_log = previous_;
}

ScopedRecordedOutput::ScopedRecordedOutput() {
  ++t_recorded_depth;
}

ScopedRecordedOutput::~ScopedRecordedOutput() {
  --t_recorded_depth;
}

bool ScopedRecordedOutput::Active() {
  return t_recorded_depth > 0;
}

}  // namespace hx
