#include "device/capture_device.h"

#include <utility>

#include "device/device_selection.h"
#include "device/recording_channel.h"

namespace hx {

CDuzuVideoCaptureDevice::CDuzuVideoCaptureDevice()
    : CDuzuVideoCaptureDevice(MakeChannelFromEnvironment) {}

CDuzuVideoCaptureDevice::CDuzuVideoCaptureDevice(ChannelFactory factory)
    : factory_(std::move(factory)) {}

CDuzuVideoCaptureDevice::~CDuzuVideoCaptureDevice() {
  Uninitialize();
}

HRESULT CDuzuVideoCaptureDevice::Initialize() {
  HRESULT hr = status_event_.Create();
  if (FAILED(hr)) {
    return hr;
  }
  hr = factory_(channel_);
  if (FAILED(hr)) {
    return hr;
  }
  if (recording_) {
    channel_ = MakeRecordingChannel(std::move(channel_), recording_);
  }
  hr = channel_->Open(status_event_);
  if (FAILED(hr)) {
    return hr;
  }
  open_ = true;
  return hr;
}

HRESULT CDuzuVideoCaptureDevice::SetXU(std::uint32_t selector, XuConstBytes packet) {
  if (!open_) {
    return kHrDeviceNotReady;
  }
  if (selector > 0xFF) {
    return E_INVALIDARG;
  }
  return channel_->Set(static_cast<std::uint8_t>(selector), packet);
}

HRESULT CDuzuVideoCaptureDevice::GetXU(std::uint32_t selector, XuBytes packet) {
  if (!open_) {
    return kHrDeviceNotReady;
  }
  if (selector > 0xFF) {
    return E_INVALIDARG;
  }
  return channel_->Get(static_cast<std::uint8_t>(selector), packet);
}

void CDuzuVideoCaptureDevice::Uninitialize() {
  open_ = false;
  if (channel_) {
    channel_->Close();
    channel_.reset();
  }
}

}  // namespace hx
