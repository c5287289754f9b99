#include "support/emulated_device.h"

#include "support/device_pieces.h"

#include <gtest/gtest.h>

#include "model/option_text.h"

namespace hx::test {

std::shared_ptr<emu::FirmwareModel> FaultedModel(const std::vector<std::string>& faults,
                                                 const std::string& state_dir) {
  emu::FirmwareOptions options{.state_dir = state_dir};
  for (const std::string& fault : faults) {
    std::string error;
    if (!emu::ApplyFaultText(fault, options.faults, error)) {
      ADD_FAILURE() << error;
      return nullptr;
    }
  }
  options.record_transfers = true;
  return std::make_shared<emu::FirmwareModel>(options, EmulatorPieces());
}

}  // namespace hx::test
