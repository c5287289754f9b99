#pragma once
// The virtual HX7300 inside the test's own process, for tests that run handlers against it
// (DeviceRun puts it behind the in-process backend).

#include <memory>
#include <string>
#include <vector>

#include "model/firmware_model.h"

namespace hx::test {

/// A virtual HX7300 that records every packet written to it, with faults given as
/// hx7300-emulator takes them ("name=value") and its state kept in state_dir when one is
/// named; null, with a test failure, when a fault is refused.
std::shared_ptr<emu::FirmwareModel> FaultedModel(const std::vector<std::string>& faults,
                                                 const std::string& state_dir = {});

}  // namespace hx::test
