#pragma once
// The upload of one file into one image slot: the info packet, blocks of up to 85 data
// packets each closed by a commit, and the final flush. One object serves both transfers of a
// run (signature, then image); its worker thread sends the blocks as the device's replies are
// handed to it through the completion queue.

#include <atomic>
#include <cstdint>

#include "device/capture_device.h"
#include "operations/image_file.h"
#include "platform/auto_reset_event.h"
#include "platform/completion_queue.h"
#include "platform/hresult.h"
#include "platform/thread.h"
#include "protocol/xu_packet.h"

namespace hx {

class CImageUpdate {
 public:
  /// Completion byte counts other than 0: stop the worker, or have it say when it gets there.
  static constexpr std::uint32_t kStopWorker = 1;
  static constexpr std::uint32_t kWorkerFence = 2;

  CImageUpdate() = default;
  /// Stops and joins the worker, frees the replies it never took, releases the file.
  ~CImageUpdate();
  CImageUpdate(const CImageUpdate&) = delete;
  CImageUpdate& operator=(const CImageUpdate&) = delete;

  /// Opens the file, confirms an undersized boot loader or main image with the operator, makes
  /// the read-only view, and starts the completion queue and the worker on first use.
  HRESULT Initialize(CDuzuVideoCaptureDevice* device, std::uint8_t image_index,
                     const wchar_t* file_name);
  /// The same with a file already opened and checked for image_index, which this object takes.
  HRESULT Initialize(CDuzuVideoCaptureDevice* device, std::uint8_t image_index, CImageFile file);
  /// Writes the info packet: image index and file size.
  HRESULT SendXUInfo();
  /// Writes the next block of data packets and its commit.
  HRESULT SendBlock();
  /// Writes the flush packet.
  HRESULT SendFlush();
  /// Hands one heap-allocated 52-byte reply to the worker, which owns it on success.
  HRESULT PostXU(XuPacket* packet);
  /// Prints "Block n/total sent..." in place.
  void ShowProgress();
  /// Waits until the worker is idle, then releases the file and zeroes the counters; keeps the
  /// queue and the worker.
  void Uninitialize();
  /// Asks the worker to stop after what it is doing and waits for it.
  void StopWorker();

  bool FileDrained() const { return bytes_sent_ >= file_size_; }
  /// Ends the transfer with a failure that either thread met: the first one is reported (under
  /// context) and kept, later ones are not. Returns the failure the transfer ends with.
  HRESULT EndWithFailure(const char* context, HRESULT failure);
  /// The failure the transfer ended with, or S_OK.
  HRESULT TransferFailure() const { return transfer_failure_.load(std::memory_order_acquire); }
  /// The worker's thread procedure.
  friend void ImageUpdateWorker(CImageUpdate& update);

  std::uint32_t FileSize() const { return file_size_; }
  std::uint32_t TotalBlocks() const { return total_blocks_; }
  std::uint32_t BlocksSent() const { return blocks_sent_; }

 private:
  void StopOnFailure(const char* context, HRESULT failure);
  void WaitForIdleWorker();
  void NoteWorkerEnded();

  CCompletionQueue completion_port_;
  CThread worker_;
  CImageFile file_;
  std::uint32_t file_size_ = 0;
  std::uint32_t bytes_sent_ = 0;
  std::uint16_t block_number_ = 0;
  std::uint8_t image_index_ = 12;
  CDuzuVideoCaptureDevice* device_ = nullptr;
  std::uint32_t total_blocks_ = 0;
  std::uint32_t blocks_sent_ = 0;
  bool console_output_ = false;
  std::atomic<HRESULT> transfer_failure_{S_OK};
  std::atomic<bool> worker_running_{false};
  CAutoResetEvent worker_idle_;
};

/// Takes replies from the completion queue and answers them: the info acceptance and each
/// block echo with the next block or the flush. Ends on a stop request or on a failure, which
/// ends the transfer and wakes the reader.
void ImageUpdateWorker(CImageUpdate& update);

}  // namespace hx
