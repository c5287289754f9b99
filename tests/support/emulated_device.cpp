#include "support/emulated_device.h"

#include "support/device_pieces.h"

#include <gtest/gtest.h>

#include "device/emulator/emulator_channel.h"
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

std::unique_ptr<CDuzuVideoCaptureDevice> DeviceOn(std::shared_ptr<emu::FirmwareModel> model) {
  auto device = std::make_unique<CDuzuVideoCaptureDevice>(
      [model = std::move(model)](std::unique_ptr<XuChannel>& out) {
        out = std::make_unique<EmulatorChannel>(model);
        return S_OK;
      });
  const HRESULT hr = device->Initialize();
  if (FAILED(hr)) {
    ADD_FAILURE() << "the in-process device did not open: " << hr;
    return nullptr;
  }
  return device;
}

}  // namespace hx::test
