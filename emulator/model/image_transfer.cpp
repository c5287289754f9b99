#include "model/image_transfer.h"

#include "model/device_status.h"
#include "protocol/image_slots.h"
#include "protocol/opcodes.h"

namespace hx::emu {
namespace {

bool NeedsSignature(std::uint8_t index) {
  return index == kBootLoaderImageIndex || index == kMainImageIndex;
}

XuPacket CorruptionReport(const XuPacket& data) {
  XuPacket report;
  report.SetOpcode(XU_OPCODE_IMGUPD_DATA);
  report.SetArg1(data.Arg1());
  report.SetStatus(kStatusDataError);
  return report;
}

XuPacket Echo(const XuPacket& commit, std::int32_t status) {
  XuPacket echo;
  echo.SetOpcode(XU_OPCODE_IMGUPD_ECHO);
  echo.SetArg0(commit.Arg0());
  echo.SetStatus(status);
  echo.SetBlockMarker(commit.BlockMarker());
  echo.SetCommitImageIndex(commit.CommitImageIndex());
  echo.SetBlockNumber(commit.BlockNumber());
  return echo;
}

}  // namespace

void ImageTransfer::Info(const XuPacket& request, std::vector<XuPacket>& replies) {
  Abandon();
  std::int32_t status = Admission(request);
  if (status == 0 && faults_.info_status) {
    status = *faults_.info_status;
  }
  if (status == 0 && !slots_.Begin(request.ImageIndexField())) {
    status = kStatusFailed;
  }
  if (status == 0) {
    state_ = State::kStaging;
    index_ = request.ImageIndexField();
    size_ = request.ImageSize();
  }
  XuPacket reply;
  reply.SetOpcode(XU_OPCODE_IMGUPD_INFO);
  reply.SetStatus(status);
  reply.SetInfoImageIndex(request.ImageIndexField());
  reply.SetImageSize(request.ImageSize());
  replies.push_back(reply);
}

std::int32_t ImageTransfer::Admission(const XuPacket& info) const {
  if (!connection_.IsAuthorised(XU_OPCODE_IMGUPD_INFO)) {
    return kStatusAccessDenied;
  }
  if (info.ImageIndexField() >= ImageSlotTable.size() || info.ImageSize() == 0) {
    return kStatusInvalidArgument;
  }
  if (NeedsSignature(info.ImageIndexField()) && !connection_.signature_received) {
    return kStatusNoSignature;
  }
  return 0;
}

void ImageTransfer::Data(const XuPacket& request, std::vector<XuPacket>& replies) {
  ++data_packets_;
  if (state_ == State::kBroken) {
    return;
  }
  if (state_ == State::kStaging && Fits(request) && !CorruptionDue()) {
    const auto payload = request.Payload().first(request.Length());
    block_.insert(block_.end(), payload.begin(), payload.end());
    ++next_sequence_;
    return;
  }
  Abandon();
  state_ = State::kBroken;
  replies.push_back(CorruptionReport(request));
}

bool ImageTransfer::Fits(const XuPacket& data) const {
  return data.Length() >= 1 && data.Length() <= kDataPerPacket && data.Arg1() == next_sequence_ &&
         next_sequence_ < kPacketsPerBlock && staged_ + block_.size() + data.Length() <= size_;
}

bool ImageTransfer::CorruptionDue() {
  if (!faults_.corrupt_after || corruption_given_ || data_packets_ <= *faults_.corrupt_after) {
    return false;
  }
  corruption_given_ = true;
  return true;
}

void ImageTransfer::Commit(const XuPacket& request, std::vector<XuPacket>& replies) {
  if (state_ == State::kBroken && request.BlockMarker() != BLOCK_MARKER_FLUSH) {
    state_ = State::kIdle;  // the broken block's commit: its corruption has been reported
    return;
  }
  const std::int32_t status =
      request.BlockMarker() == BLOCK_MARKER_FLUSH ? Flush(request) : CommitBlock(request);
  replies.push_back(Echo(request, status));
}

std::int32_t ImageTransfer::CommitBlock(const XuPacket& commit) {
  std::int32_t status = BlockFault(commit);
  if (status == 0 && !slots_.Append(block_)) {
    status = kStatusFailed;
  }
  const auto& echo_fault = faults_.echo_status;
  if (status == 0 && echo_fault &&
      (!echo_fault->block || echo_fault->block == commit.BlockNumber())) {
    status = echo_fault->status;
  }
  if (status != 0) {
    Abandon();
    return status;
  }
  staged_ += block_.size();
  block_.clear();
  next_sequence_ = 0;
  ++next_block_;
  return 0;
}

// A block is the next one of this transfer, holds data, and is marked last exactly when it
// completes the image.
std::int32_t ImageTransfer::BlockFault(const XuPacket& commit) const {
  const bool marked_last = commit.BlockMarker() == BLOCK_MARKER_LAST;
  const bool completes = staged_ + block_.size() == size_;
  if (state_ != State::kStaging || (commit.BlockMarker() != 0 && !marked_last) ||
      commit.CommitImageIndex() != index_ || commit.BlockNumber() != next_block_ ||
      block_.empty() || completes != marked_last) {
    return kStatusDataError;
  }
  return 0;
}

std::int32_t ImageTransfer::Flush(const XuPacket& flush) {
  std::int32_t status = FlushFault(flush);
  if (status == 0 && faults_.flush_status) {
    status = *faults_.flush_status;  // whatever it claims, the image is lost
  } else if (status == 0) {
    status = Publish();
  }
  Abandon();
  return status;
}

std::int32_t ImageTransfer::Publish() {
  if (!slots_.Publish()) {
    return kStatusFailed;
  }
  if (index_ == kSignatureImageIndex) {
    connection_.signature_received = true;
  }
  return 0;
}

std::int32_t ImageTransfer::FlushFault(const XuPacket& flush) const {
  if (state_ != State::kStaging || flush.CommitImageIndex() != index_ ||
      flush.BlockNumber() != kFlushBlockNumber || !block_.empty() || staged_ != size_) {
    return kStatusDataError;
  }
  return 0;
}

void ImageTransfer::Abandon() {
  slots_.Discard();
  state_ = State::kIdle;
  staged_ = 0;
  next_block_ = 0;
  next_sequence_ = 0;
  block_.clear();
}

}  // namespace hx::emu
