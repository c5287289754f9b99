#pragma once
// The file that a recording of the channel's traffic goes to (HX7300_RECORD): opened before the
// device is touched, then written by the recording channel from every thread that uses the
// channel, one record a line, each line written whole as it is made.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "device/recording_format.h"
#include "platform/append_file.h"
#include "platform/hresult.h"

namespace hx {

class TransferRecording {
 public:
  /// Creates the file for its owner alone, or empties it; the system's failure when it cannot
  /// be written. The recording's clock starts here.
  HRESULT Open(const std::wstring& path);
  /// The first write that failed, or S_OK while every record has reached the file.
  HRESULT WriteFailure() const;

  /// The header: the device path that the channel reported (empty: none) and its Open's result.
  void Header(const std::string& device_path, HRESULT open_result);

  struct TransferStart {
    std::uint64_t number;  ///< from 1, in the order the transfers started
    std::int64_t start_us;
  };
  /// Numbers a transfer as it starts.
  TransferStart StartTransfer();
  /// The record of a transfer that has ended: the packet written (a set) or read (a get; left
  /// out when result is negative, as such a packet means nothing), passcodes redacted.
  void EndTransfer(TransferKind kind, std::uint8_t selector, TransferStart start,
                   XuConstBytes packet, HRESULT result);
  /// A status interrupt, after the transfers started so far.
  void Interrupt();
  /// The end record: the channel has closed.
  void End();

 private:
  std::int64_t Microseconds() const;
  void Write(std::string_view line);

  platform::CAppendFile file_;
  std::chrono::steady_clock::time_point began_{};
  mutable std::mutex mutex_;  // guards everything below, and keeps records whole and in order
  std::uint64_t started_ = 0;
  HRESULT write_failure_ = S_OK;
};

}  // namespace hx
