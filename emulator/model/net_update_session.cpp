#include "model/net_update_session.h"

#include <algorithm>

#include "model/device_status.h"
#include "model/update_manifest.h"
#include "protocol/net_image_steps.h"
#include "protocol/opcodes.h"

namespace hx::emu {
namespace {

constexpr std::uint64_t kMaxManifestBytes = std::uint64_t{64} << 10;
// No slot holds more than this.
constexpr std::uint64_t kMaxImageBytes = std::uint64_t{512} << 20;
// How often the device looks whether the host has read its last reply.
constexpr auto kHostPoll = std::chrono::milliseconds(2);

// What goes wrong with the server is reported with the codes of the system's own HTTP client.
constexpr std::int32_t kStatusNameNotResolved = static_cast<std::int32_t>(0x80072EE7u);
constexpr std::int32_t kStatusCannotConnect = static_cast<std::int32_t>(0x80072EFDu);
constexpr std::int32_t kStatusServerTimedOut = static_cast<std::int32_t>(0x80072EE2u);
constexpr std::int32_t kStatusConnectionAborted = static_cast<std::int32_t>(0x80072EFEu);
constexpr std::int32_t kStatusInvalidData = HresultFromError(13);
constexpr std::int32_t kStatusWriteFault = HresultFromError(29);

// A status other than 200 OK, as 0x80190000 plus the status (0x80190194 for 404 Not Found).
std::int32_t HttpStatusCode(long status) {
  return static_cast<std::int32_t>(0x80190000u | (static_cast<std::uint32_t>(status) & 0xFFFFu));
}

std::int32_t StatusOf(const FetchResult& result) {
  switch (result.failure) {
    case FetchResult::Failure::kNone:
    case FetchResult::Failure::kCancelled:
      return 0;
    case FetchResult::Failure::kCannotResolve:
      return kStatusNameNotResolved;
    case FetchResult::Failure::kCannotConnect:
      return kStatusCannotConnect;
    case FetchResult::Failure::kTimedOut:
      return kStatusServerTimedOut;
    case FetchResult::Failure::kHttpStatus:
      return HttpStatusCode(result.http_status);
    case FetchResult::Failure::kTooLarge:
      return kHrFileTooLarge;
    case FetchResult::Failure::kNotKept:
      return kStatusWriteFault;
    case FetchResult::Failure::kBroken:
      break;
  }
  return kStatusConnectionAborted;
}

// The digest of what reader reads; nullopt for a slot never written or one that cannot be read.
std::optional<ContentDigest> DigestOf(std::optional<SlotReader> reader) {
  ContentDigest digest;
  if (!reader || !reader->ForEachPiece([&](std::span<const std::uint8_t> piece) {
        digest.Add(piece);
        return true;
      })) {
    return std::nullopt;
  }
  return digest;
}

XuPacket ProgressReply(std::int32_t percent) {
  XuPacket reply;
  reply.SetOpcode(XU_OPCODE_IMGUPD_NET_INFO);
  reply.SetArg0(1);
  reply.SetReplyStep(NETIMG_STAGE_DOWNLOAD_PROGRESS);
  reply.SetPercent(percent);
  return reply;
}

}  // namespace

XuPacket StageReply(std::uint8_t stage, std::int32_t status, const NetUpdateFaults& faults) {
  XuPacket reply;
  reply.SetOpcode(XU_OPCODE_IMGUPD_NET_INFO);
  reply.SetArg0(1);
  reply.SetReplyStep(stage);
  const auto status_fault = faults.stage_status.find(stage);
  reply.SetStatus(status_fault == faults.stage_status.end() ? status : status_fault->second);
  if (const auto count = faults.stage_count.find(stage); count != faults.stage_count.end()) {
    reply.SetStepCount(count->second);
  }
  return reply;
}

bool StagePassed(const XuPacket& reply) {
  return reply.Status() == 0 && reply.StepCount() <= kNetImageMaxStepCount;
}

UpdateSession::UpdateSession(UpdateTarget& target, std::unique_ptr<HttpFetcher> fetcher,
                             UpdateSource source, const NetUpdatePace& pace,
                             const NetUpdateFaults& faults)
    : target_(target),
      fetcher_(std::move(fetcher)),
      source_(std::move(source)),
      pace_(pace),
      faults_(faults) {}

void UpdateSession::Run() {
  RunStages();
  // What is still staged (of an update that failed or was cancelled) goes with it.
  staged_.reset();
}

FetchLimits UpdateSession::Limits(std::uint64_t max_bytes) const {
  return {max_bytes, pace_.max_bytes_per_second, pace_.low_speed_seconds};
}

void UpdateSession::RunStages() {
  // A build without an HTTP client cannot update, whatever the faults say of the stage.
  if (fetcher_ == nullptr) {
    Post(StageReply(NETIMG_STAGE_INITIALIZING, kStatusNotSupported, {}));
    return;
  }
  if (!Report(NETIMG_STAGE_INITIALIZING) || !Report(NETIMG_STAGE_STARTING)) {
    return;
  }
  const std::optional<std::string> url = ManifestUrl(source_.server, source_.port, source_.url);
  if (!Report(NETIMG_STAGE_BUILDING_MANIFEST, url ? 0 : kStatusInvalidArgument)) {
    return;
  }
  if (!FetchManifest(*url) || !LookUpImages(*url) || !FetchImages() || !WriteImages() ||
      !Report(NETIMG_STAGE_PREPARING_VALIDATION) || !Validate()) {
    return;
  }
  if (Report(NETIMG_STAGE_POST_DOWNLOAD) && Report(NETIMG_STAGE_FLASHING)) {
    Report(NETIMG_STAGE_SUCCEEDED);
  }
}

void UpdateSession::Cancel() {
  {
    std::lock_guard lock(cancel_mutex_);
    cancelled_.store(true);
  }
  cancel_cv_.notify_all();
}

bool UpdateSession::Report(std::uint8_t stage, std::int32_t status) {
  if (pace_.stage_delay_ms != 0 && !Pause(std::chrono::milliseconds(pace_.stage_delay_ms))) {
    return false;
  }
  const XuPacket reply = StageReply(stage, status, faults_);
  return Post(reply) && StagePassed(reply);
}

// The host reads one reply per interrupt and keeps only the last of those it finds waiting:
// each reply goes once the one before has been read.
bool UpdateSession::Post(const XuPacket& reply) {
  while (WaitForHost() && !target_.PostUpdateReply(reply)) {
    if (!Pause(kHostPoll)) {
      return false;
    }
  }
  return !Cancelled();
}

bool UpdateSession::WaitForHost() {
  while (target_.UpdateReplyWaiting()) {
    if (!Pause(kHostPoll)) {
      return false;
    }
  }
  return !Cancelled();
}

bool UpdateSession::Pause(std::chrono::milliseconds length) {
  std::unique_lock lock(cancel_mutex_);
  return !cancel_cv_.wait_for(lock, length, [this] { return Cancelled(); });
}

// The percentage counts the bytes of all images together, as their lengths were announced
// (by images when no length was). It goes to the host only while the host has nothing
// unread, so the download never waits for the host; the last, 100, always goes.
void UpdateSession::ShowProgress(std::size_t image, std::uint64_t received) {
  const std::uint64_t percent = announced_ != 0
                                    ? std::min<std::uint64_t>(received * 100 / announced_, 100)
                                    : 100 * image / entries_.size();
  if (static_cast<std::int32_t>(percent) <= percent_shown_ || target_.UpdateReplyWaiting()) {
    return;
  }
  if (target_.PostUpdateReply(ProgressReply(static_cast<std::int32_t>(percent)))) {
    percent_shown_ = static_cast<std::int32_t>(percent);
  }
}

bool UpdateSession::FetchManifest(const std::string& url) {
  bool request_accepted = true;
  const FetchWatch watch{
      .on_response =
          [&] {
            request_accepted = Report(NETIMG_STAGE_SENDING_REQUEST);
            return request_accepted;
          },
      .on_progress = [this](std::uint64_t, std::uint64_t) { return !Cancelled(); },
  };
  std::vector<std::uint8_t> body;
  const FetchResult result = fetcher_->Get(url, Limits(kMaxManifestBytes), watch,
                                           [&](std::span<const std::uint8_t> bytes) {
                                             body.insert(body.end(), bytes.begin(), bytes.end());
                                             return true;
                                           });
  if (Cancelled() || !request_accepted) {
    return false;
  }
  if (!result.responded) {
    Report(NETIMG_STAGE_SENDING_REQUEST, StatusOf(result));
    return false;
  }
  if (result.failure != FetchResult::Failure::kNone) {
    Report(NETIMG_STAGE_RECEIVING_MANIFEST, StatusOf(result));
    return false;
  }
  auto entries =
      ParseManifest(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
  if (!Report(NETIMG_STAGE_RECEIVING_MANIFEST, entries ? 0 : kStatusInvalidData)) {
    return false;
  }
  entries_ = std::move(*entries);
  return true;
}

// The images are looked up first: one that is missing, empty or too large fails the stage
// before anything is downloaded, and their lengths make the percentage.
bool UpdateSession::LookUpImages(const std::string& manifest_url) {
  const FetchWatch watch{
      .on_progress = [this](std::uint64_t, std::uint64_t) { return !Cancelled(); }};
  for (const ManifestEntry& entry : entries_) {
    urls_.push_back(ImageUrl(manifest_url, entry.path));
    const FetchResult head = fetcher_->Head(urls_.back(), Limits(0), watch);
    if (Cancelled()) {
      return false;
    }
    announced_ += head.length.value_or(0);
    std::int32_t status = StatusOf(head);
    if (status == 0 && head.length == 0) {
      status = kStatusInvalidData;  // as the device refuses an upload of nothing
    } else if (status == 0 && head.length > kMaxImageBytes) {
      status = kHrFileTooLarge;
    }
    if (status != 0) {
      Report(NETIMG_STAGE_GETTING_IMAGES, status);
      return false;
    }
  }
  return Report(NETIMG_STAGE_GETTING_IMAGES);
}

// Each image goes straight to its staging as it comes, and is known afterwards by its digest.
// A staging write that fails (a full disk) fails the NAND write, the stage of writing images.
bool UpdateSession::FetchImages() {
  staged_ = target_.StageImages();
  std::uint64_t received = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const FetchWatch watch{
        .on_progress =
            [&](std::uint64_t now, std::uint64_t) {
              ShowProgress(i, received + now);
              return !Cancelled();
            },
    };
    ContentDigest digest;
    const BodySink sink = [&](std::span<const std::uint8_t> bytes) {
      digest.Add(bytes);
      return staged_->Append(bytes);
    };
    const bool staging = staged_ != nullptr && staged_->Begin(entries_[i].slot);
    const FetchResult result = staging
                                   ? fetcher_->Get(urls_[i], Limits(kMaxImageBytes), watch, sink)
                                   : FetchResult{FetchResult::Failure::kNotKept};
    if (Cancelled()) {
      return false;
    }
    if (result.failure == FetchResult::Failure::kNotKept) {
      Report(NETIMG_STAGE_NAND_WRITE, kStatusWriteFault);
      return false;
    }
    std::int32_t status = StatusOf(result);
    if (status == 0 && digest.Length() == 0) {
      status = kStatusInvalidData;
    }
    if (status != 0) {
      Report(NETIMG_STAGE_GETTING_IMAGES, status);
      return false;
    }
    received += digest.Length();
    images_.emplace_back(entries_[i].slot, digest);
  }
  if (percent_shown_ < 100) {
    percent_shown_ = 100;
    return Post(ProgressReply(100));
  }
  return true;
}

// The images reach their slots all together or not at all. A write the faults fail writes
// nothing.
bool UpdateSession::WriteImages() {
  if (!StagePassed(StageReply(NETIMG_STAGE_NAND_WRITE, 0, faults_))) {
    Report(NETIMG_STAGE_NAND_WRITE);
    return false;
  }
  // Synced here, on the update's own thread: the commit under the device's lock stays short.
  if (!staged_->Seal() || !target_.CommitImages(*staged_)) {
    Report(NETIMG_STAGE_NAND_WRITE, kStatusWriteFault);
    return false;
  }
  return Report(NETIMG_STAGE_NAND_WRITE);
}

// Every slot written is read back and must hold exactly the image downloaded.
bool UpdateSession::Validate() {
  const bool intact = std::ranges::all_of(images_, [this](const auto& written) {
    return DigestOf(target_.ReadImage(written.first)) == written.second;
  });
  return Report(NETIMG_STAGE_VALIDATION, intact ? 0 : kStatusDataError);
}

}  // namespace hx::emu
