#include "operations/image_update.h"

#include <array>
#include <memory>
#include <thread>

#include "console/bounded_text.h"
#include "console/console_io.h"
#include "console/report_error.h"
#include "console/run_log.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"

namespace hx {

CImageUpdate::~CImageUpdate() {
  StopWorker();
  Completion left{};
  while (completion_port_.TryTake(left)) {
    delete static_cast<XuPacket*>(left.key);
  }
  Uninitialize();
}

HRESULT CImageUpdate::Initialize(CDuzuVideoCaptureDevice* device, std::uint8_t image_index,
                                 const wchar_t* file_name) {
  Uninitialize();
  CImageFile file;
  const HRESULT hr = file.Open(image_index, file_name);
  if (FAILED(hr)) {
    return hr;
  }
  return Initialize(device, image_index, std::move(file));
}

HRESULT CImageUpdate::Initialize(CDuzuVideoCaptureDevice* device, std::uint8_t image_index,
                                 CImageFile file) {
  Uninitialize();
  file_ = std::move(file);
  HRESULT hr = S_OK;
  if (!completion_port_.Created()) {
    hr = completion_port_.Create();
    if (FAILED(hr)) {
      return hr;
    }
    // The worker signals this when it reaches a fence; it must exist before the worker does.
    hr = worker_idle_.Create();
    if (FAILED(hr)) {
      return hr;
    }
  }
  if (worker_.Started() && !worker_running_) {
    worker_.Join();  // it ended on a failure of the transfer before
  }
  if (!worker_.Started()) {
    worker_running_ = true;
    hr = worker_.Start([this] { ImageUpdateWorker(*this); });
    if (FAILED(hr)) {
      worker_running_ = false;
      return hr;
    }
  }
  if (device == nullptr) {
    return E_INVALIDARG;
  }
  device_ = device;
  console_output_ = true;
  transfer_failure_ = S_OK;
  file_size_ = file_.Size();
  total_blocks_ = file_size_ / kBlockSize + (file_size_ % kBlockSize != 0 ? 1 : 0);
  image_index_ = image_index;
  return S_OK;
}

HRESULT CImageUpdate::SendXUInfo() {
  XuPacket info;
  info.SetLength(static_cast<std::uint8_t>(kXuPacketSize));
  info.SetOpcode(XU_OPCODE_IMGUPD_INFO);
  info.SetArg0(1);
  info.SetInfoImageIndex(image_index_);
  info.SetImageSize(file_size_);
  return device_->SetXU(SelectorFor(XU_OPCODE_IMGUPD_INFO), info.Bytes());
}

HRESULT CImageUpdate::SendBlock() {
  XuPacket packet;
  packet.SetOpcode(XU_OPCODE_IMGUPD_DATA);
  packet.SetArg0(0);
  const std::uint32_t remaining = file_size_ - bytes_sent_;
  const std::uint32_t count =
      remaining > kBlockSize ? kPacketsPerBlock : (remaining + kDataPerPacket - 1) / kDataPerPacket;
  const bool ends_file = remaining <= kBlockSize;
  const std::uint32_t block_start = bytes_sent_;
  for (std::uint32_t sequence = 0; sequence < count; ++sequence) {
    const bool last = sequence + 1 == count;
    // Only the last packet of the file is short; its payload keeps the earlier packet's bytes
    // behind its own, as the device expects nothing there.
    const std::uint32_t length = std::min(kDataPerPacket, file_size_ - bytes_sent_);
    packet.SetArg1(static_cast<std::uint8_t>(sequence));
    packet.SetLength(static_cast<std::uint8_t>(length));
    HRESULT hr = file_.View().CopyOut(bytes_sent_, packet.Payload().first(length));
    if (FAILED(hr)) {
      return hr;
    }
    bytes_sent_ += length;
    if (bytes_sent_ == file_size_) {
      packet.SetArg0(1);
    }
    hr = device_->SetXU(SelectorFor(XU_OPCODE_IMGUPD_DATA), packet.Bytes());
    if (FAILED(hr)) {
      return hr;
    }
    if (!last) {
      std::this_thread::yield();
    }
  }
  Log().Sent(bytes_sent_ - block_start);
  // A block is committed only if the file is still the one it was read from.
  if (const HRESULT hr = file_.View().CheckUnchanged(); FAILED(hr)) {
    return hr;
  }
  packet.SetOpcode(XU_OPCODE_IMGUPD_ECHO);
  packet.SetArg0(ends_file ? 1 : 0);
  packet.SetBlockMarker(ends_file ? BLOCK_MARKER_LAST : 0);
  packet.SetCommitImageIndex(image_index_);
  packet.SetBlockNumber(block_number_);
  const HRESULT hr = device_->SetXU(SelectorFor(XU_OPCODE_IMGUPD_ECHO), packet.Bytes());
  if (SUCCEEDED(hr)) {
    ++block_number_;
    ++blocks_sent_;
  }
  return hr;
}

HRESULT CImageUpdate::SendFlush() {
  XuPacket flush;
  flush.SetLength(0);
  flush.SetOpcode(XU_OPCODE_IMGUPD_ECHO);
  flush.SetArg0(1);
  flush.SetBlockMarker(BLOCK_MARKER_FLUSH);
  flush.SetCommitImageIndex(image_index_);
  flush.SetBlockNumber(kFlushBlockNumber);
  return device_->SetXU(SelectorFor(XU_OPCODE_IMGUPD_ECHO), flush.Bytes());
}

HRESULT CImageUpdate::PostXU(XuPacket* packet) {
  return completion_port_.Post({0, packet});
}

void CImageUpdate::ShowProgress() {
  if (!console_output_) {
    return;
  }
  Log().Progress(
      {blocks_sent_, total_blocks_,
       static_cast<std::int32_t>(total_blocks_ == 0 ? 100 : blocks_sent_ * 100 / total_blocks_)});
  std::array<char, 64> line{};
  FormatBoundedA(line, "Block %04d/%04d sent...\r\n", static_cast<int>(blocks_sent_),
                 static_cast<int>(total_blocks_));
  Console().WriteNarrowInPlace(line.data());
}

void CImageUpdate::Uninitialize() {
  // A transfer that ended on the device's word may have left the worker finishing a block; the
  // file and the counters are its until it is idle.
  WaitForIdleWorker();
  file_.Close();
  file_size_ = 0;
  bytes_sent_ = 0;
  block_number_ = 0;
  total_blocks_ = 0;
  blocks_sent_ = 0;
}

void CImageUpdate::StopWorker() {
  if (worker_.Started() && SUCCEEDED(completion_port_.Post({kStopWorker, nullptr}))) {
    worker_.Join();
  }
}

void CImageUpdate::WaitForIdleWorker() {
  if (!worker_running_) {
    return;
  }
  if (FAILED(completion_port_.Post({kWorkerFence, nullptr}))) {
    return;
  }
  // Set when the worker reaches the fence, or when it ends first.
  worker_idle_.Wait(std::nullopt);
}

void CImageUpdate::NoteWorkerEnded() {
  worker_running_ = false;
  worker_idle_.Set();
}

HRESULT CImageUpdate::EndWithFailure(const char* context, HRESULT failure) {
  HRESULT first = S_OK;
  if (transfer_failure_.compare_exchange_strong(first, failure, std::memory_order_acq_rel)) {
    ReportError(context, failure);
    return failure;
  }
  return first;
}

void CImageUpdate::StopOnFailure(const char* context, HRESULT failure) {
  EndWithFailure(context, failure);
  // Wake the reader, which would otherwise wait for a device reply that will never come.
  device_->StatusEvent().Set();
}

}  // namespace hx
