// A recording played back as a device (HX7300_DEVICE=replay:<path>): gets and their results as
// recorded, sets compared with the recording, status interrupts where the recording had them.
//
// The image transfer and the network update use the channel from two threads, whose transfers
// may interleave otherwise than when recorded. So each kind of transfer on each selector is
// matched in its own recorded order. A status interrupt matters to the run only through the
// status read that the wait it ends leads to: each status read that followed one or more
// interrupts in the recording has one signal, given once it is the next status read due and
// every transfer that had started before its interrupts is replayed. Interrupts that the run
// took as one are signalled as one, and one is never signalled before the run has read the
// status the previous one called for.
//
// The first transfer that does not match the recording fails with 0x8007048F, as on a link that
// broke: every loop of the utility ends on that result, where one it does not expect could
// leave a loop waiting for the next interrupt. One line on standard error names the transfer
// and what differs; the status event is signalled so that a waiting loop meets the failure;
// every later transfer fails the same way.
#include <array>
#include <cstdio>
#include <mutex>
#include <vector>

#include "console/console_io.h"
#include "device/backends.h"
#include "device/replay/recording_reader.h"
#include "platform/locale_text.h"
#include "protocol/opcodes.h"

namespace hx {
namespace {

using replay::RecordedTransfer;
using replay::Recording;

constexpr std::int64_t kNoSignal = -1;

// The recorded transfers of one kind on one selector, in their order, and the next one due.
struct TransferQueue {
  std::vector<std::size_t> indices;
  std::size_t next = 0;

  bool Done() const { return next == indices.size(); }
};

std::size_t QueueOf(TransferKind kind, std::uint8_t selector) {
  return (kind == TransferKind::kSet ? 0x100 : 0) + selector;
}

std::string Describe(TransferKind kind, std::uint8_t selector) {
  return std::string(TransferName(kind)) + ", selector " + std::to_string(selector);
}

std::string ByteText(std::uint8_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(value));
  return text;
}

class ReplayChannel final : public XuChannel {
 public:
  explicit ReplayChannel(std::wstring path) : path_(std::move(path)) {}

  HRESULT Open(CAutoResetEvent& status_event) override;
  HRESULT Set(std::uint8_t selector, XuConstBytes packet) override {
    return Replay(TransferKind::kSet, selector, packet.data(), nullptr);
  }
  HRESULT Get(std::uint8_t selector, XuBytes packet) override {
    return Replay(TransferKind::kGet, selector, nullptr, packet.data());
  }
  void Close() override;
  std::string DevicePath() const override { return recording_.device_path; }

 private:
  void Schedule();
  HRESULT Replay(TransferKind kind, std::uint8_t selector, const std::uint8_t* sent,
                 std::uint8_t* read);
  std::string Mismatch(const RecordedTransfer& recorded, std::size_t index,
                       const std::uint8_t* sent) const;
  void Consume(std::size_t index);
  void SignalDueStatusRead();
  void SignalIfCutShort();
  HRESULT Break(const std::string& why);

  const std::wstring path_;
  Recording recording_;
  CAutoResetEvent* status_event_ = nullptr;
  std::mutex mutex_;  // guards everything below once open
  std::array<TransferQueue, 0x200> queues_;
  std::vector<bool> replayed_;
  std::size_t replayed_count_ = 0;
  std::size_t replayed_prefix_ = 0;         // transfers 1..prefix all replayed
  std::vector<std::int64_t> signal_after_;  // per status read: transfers due before its signal
  std::vector<bool> signalled_;
  std::uint64_t run_transfers_ = 0;
  bool open_ = false;
  bool broken_ = false;
};

HRESULT ReplayChannel::Open(CAutoResetEvent& status_event) {
  std::string problem;
  const HRESULT hr = replay::ReadRecordingFile(path_, recording_, problem);
  if (!problem.empty()) {
    Console().WriteErrorLine(L"hx7300: HX7300_DEVICE=replay:" + path_ + L": " +
                             platform::WidenLocaleText(problem));
  }
  if (FAILED(hr)) {
    return hr;
  }
  if (FAILED(recording_.open_result)) {
    return recording_.open_result;
  }
  std::lock_guard lock(mutex_);
  status_event_ = &status_event;
  Schedule();
  open_ = true;
  SignalDueStatusRead();
  SignalIfCutShort();
  return S_OK;
}

// Queues every transfer, and gives each status read the interrupts that came after the one
// before it had started and before it started itself.
void ReplayChannel::Schedule() {
  const std::size_t count = recording_.transfers.size();
  replayed_.assign(count, false);
  signal_after_.assign(count, kNoSignal);
  signalled_.assign(count, false);
  for (std::size_t i = 0; i < count; ++i) {
    const RecordedTransfer& transfer = recording_.transfers[i];
    queues_[QueueOf(transfer.kind, transfer.selector)].indices.push_back(i);
  }
  const std::vector<std::size_t>& status_reads =
      queues_[QueueOf(TransferKind::kGet, kStatusSelector)].indices;
  auto read = status_reads.begin();
  for (const std::uint64_t after : recording_.interrupts) {
    // Transfer number n is at index n - 1: the first read that started after the interrupt.
    while (read != status_reads.end() && *read < after) {
      ++read;
    }
    if (read == status_reads.end()) {
      break;
    }
    signal_after_[*read] = static_cast<std::int64_t>(after);
  }
}

HRESULT ReplayChannel::Replay(TransferKind kind, std::uint8_t selector, const std::uint8_t* sent,
                              std::uint8_t* read) {
  std::lock_guard lock(mutex_);
  if (!open_) {
    return kHrDeviceNotReady;
  }
  ++run_transfers_;
  if (broken_) {
    return kHrDeviceNotConnected;
  }
  const std::string run_transfer = "the run's transfer " + std::to_string(run_transfers_) + " (" +
                                   Describe(kind, selector) + ")";
  const std::size_t total = recording_.transfers.size();
  if (replayed_count_ == total) {
    return Break("the recording ends after transfer " + std::to_string(total) + ", before " +
                 run_transfer);
  }
  TransferQueue& queue = queues_[QueueOf(kind, selector)];
  if (queue.Done()) {
    return Break(run_transfer + " is not in the recording, which holds no further " +
                 std::string(TransferName(kind)) + " on selector " + std::to_string(selector));
  }
  const std::size_t index = queue.indices[queue.next];
  const RecordedTransfer& recorded = recording_.transfers[index];
  if (sent != nullptr) {
    if (const std::string differs = Mismatch(recorded, index, sent); !differs.empty()) {
      return Break(differs);
    }
  }
  if (read != nullptr && recorded.has_packet) {
    std::ranges::copy(recorded.packet.Bytes(), read);
  }
  ++queue.next;
  Consume(index);
  return recorded.result;
}

// The first byte of a set that differs from the recording, outside the bytes it left out.
std::string ReplayChannel::Mismatch(const RecordedTransfer& recorded, std::size_t index,
                                    const std::uint8_t* sent) const {
  for (std::size_t i = 0; i < kXuPacketSize; ++i) {
    if (!recorded.redacted.test(i) && sent[i] != recorded.packet.Byte(i)) {
      return "transfer " + std::to_string(index + 1) + " (" +
             Describe(recorded.kind, recorded.selector) + ") differs from the recording at byte " +
             std::to_string(i) + ": " + ByteText(sent[i]) + " sent, " +
             ByteText(recorded.packet.Byte(i)) + " recorded";
    }
  }
  return {};
}

void ReplayChannel::Consume(std::size_t index) {
  replayed_[index] = true;
  ++replayed_count_;
  while (replayed_prefix_ < replayed_.size() && replayed_[replayed_prefix_]) {
    ++replayed_prefix_;
  }
  SignalDueStatusRead();
  SignalIfCutShort();
}

// A recording cut short (the run that made it was killed) ends once used up: a loop that waits
// for an interrupt it does not hold goes on to its read and meets the end.
void ReplayChannel::SignalIfCutShort() {
  if (replayed_count_ == replayed_.size() && !recording_.complete) {
    status_event_->Set();
  }
}

void ReplayChannel::SignalDueStatusRead() {
  const TransferQueue& reads = queues_[QueueOf(TransferKind::kGet, kStatusSelector)];
  if (reads.Done()) {
    return;
  }
  const std::size_t index = reads.indices[reads.next];
  if (signal_after_[index] != kNoSignal && !signalled_[index] &&
      static_cast<std::int64_t>(replayed_prefix_) >= signal_after_[index]) {
    signalled_[index] = true;
    status_event_->Set();
  }
}

HRESULT ReplayChannel::Break(const std::string& why) {
  broken_ = true;
  Console().WriteErrorLine(L"hx7300: replay: " + platform::WidenLocaleText(why));
  status_event_->Set();
  return kHrDeviceNotConnected;
}

void ReplayChannel::Close() {
  std::lock_guard lock(mutex_);
  if (!open_) {
    return;
  }
  open_ = false;
  const std::size_t total = recording_.transfers.size();
  if (broken_ || replayed_count_ == total) {
    return;
  }
  const std::size_t first = replayed_prefix_;
  const RecordedTransfer& left = recording_.transfers[first];
  Console().WriteErrorLine(L"hx7300: replay: the run ended before transfer " +
                           platform::WidenLocaleText(std::to_string(first + 1) + " (" +
                                                     Describe(left.kind, left.selector) +
                                                     ") of the recording; " +
                                                     std::to_string(total - replayed_count_) +
                                                     " recorded transfers were not replayed"));
}

}  // namespace

std::unique_ptr<XuChannel> MakeReplayChannel(const std::string& path) {
  return std::make_unique<ReplayChannel>(platform::WidenLocaleText(path));
}

}  // namespace hx
