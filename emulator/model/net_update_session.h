#pragma once
// One network update as the device carries it out, on a thread of its own: the manifest and
// the images fetched from the server, the images written into their slots, and every stage
// reported to the host as a reply on opcode 4.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/content_digest.h"
#include "model/http_fetch.h"
#include "model/net_update_options.h"
#include "model/slot_reader.h"
#include "model/staged_images.h"
#include "model/update_manifest.h"
#include "protocol/xu_packet.h"

namespace hx::emu {

/// What the update needs of the rest of the device. Called on the update's thread.
class UpdateTarget {
 public:
  virtual ~UpdateTarget() = default;
  /// Queues a reply to the host, raising its interrupt; false when the queue has no room.
  virtual bool PostUpdateReply(const XuPacket& reply) = 0;
  /// True while a reply on opcode 4 waits to be read by the host.
  virtual bool UpdateReplyWaiting() const = 0;
  /// A set of images to stage for the slots; null when none can be staged.
  virtual std::unique_ptr<StagedImages> StageImages() = 0;
  /// Makes every image of staged (sealed) its slot's contents, all of them or none; false when
  /// they cannot be.
  virtual bool CommitImages(StagedImages& staged) = 0;
  /// A reader of slot index's contents; nullopt for a slot never written.
  virtual std::optional<SlotReader> ReadImage(std::uint8_t index) const = 0;
};

/// The device's reply for a stage with the given Status, the faults that concern the stage
/// applied to it.
XuPacket StageReply(std::uint8_t stage, std::int32_t status, const NetUpdateFaults& faults);
/// Whether the host takes the reply as a step that passed.
bool StagePassed(const XuPacket& reply);

/// Where to update from, as the host's first three steps gave it.
struct UpdateSource {
  std::string server;
  std::string url;
  std::uint16_t port = 0;
};

class UpdateSession {
 public:
  /// fetcher: the build's HTTP client, or null when it has none.
  UpdateSession(UpdateTarget& target, std::unique_ptr<HttpFetcher> fetcher, UpdateSource source,
                const NetUpdatePace& pace, const NetUpdateFaults& faults);

  /// Carries the update out, from the first stage to the success stage or the stage that
  /// fails. Returns early, reporting nothing more, once Cancel has been called.
  void Run();
  /// Asks a Run in progress to end as soon as it can. Any thread.
  void Cancel();

 private:
  void RunStages();
  FetchLimits Limits(std::uint64_t max_bytes) const;
  bool Report(std::uint8_t stage, std::int32_t status = 0);
  bool Post(const XuPacket& reply);
  bool WaitForHost();
  bool Pause(std::chrono::milliseconds length);
  void ShowProgress(std::size_t image, std::uint64_t received);
  bool FetchManifest(const std::string& url);
  bool LookUpImages(const std::string& manifest_url);
  bool FetchImages();
  bool WriteImages();
  bool Validate();
  bool Cancelled() const { return cancelled_.load(); }

  UpdateTarget& target_;
  std::unique_ptr<HttpFetcher> fetcher_;
  const UpdateSource source_;
  const NetUpdatePace& pace_;
  const NetUpdateFaults& faults_;
  std::atomic<bool> cancelled_ = false;
  std::mutex cancel_mutex_;
  std::condition_variable cancel_cv_;
  std::int32_t percent_shown_ = -1;
  std::vector<ManifestEntry> entries_;
  std::vector<std::string> urls_;  ///< of the images, in the manifest's order
  std::uint64_t announced_ = 0;    ///< the images' lengths together, as the server gave them
  /// Where the images are written as they come, until they are committed or dropped.
  std::unique_ptr<StagedImages> staged_;
  /// The images downloaded, by slot, as they must read back once committed.
  std::vector<std::pair<std::uint8_t, ContentDigest>> images_;
};

}  // namespace hx::emu
