#pragma once
// The network update on opcode 4: the host's first three steps give the server, the URL and the
// port; the start step sets the update going on a thread of its own (UpdateSession), which
// reports its stages as replies; the final step closes it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "model/connection_state.h"
#include "model/net_update_session.h"
#include "model/responder.h"

namespace hx::emu {

class NetUpdate final : public Responder {
 public:
  /// make_fetcher: the HTTP client; without one an update fails at once as not supported.
  NetUpdate(UpdateTarget& target, const ConnectionState& connection,
            HttpFetcherFactory make_fetcher, const NetUpdatePace& pace,
            const NetUpdateFaults& faults)
      : target_(target),
        connection_(connection),
        make_fetcher_(std::move(make_fetcher)),
        pace_(pace),
        faults_(faults) {}
  ~NetUpdate() override { Stop(); }
  NetUpdate(const NetUpdate&) = delete;
  NetUpdate& operator=(const NetUpdate&) = delete;

  /// Answers a step request. Called with the model's lock held.
  void Answer(const XuPacket& request, std::vector<XuPacket>& replies) override;
  /// Ends an update in progress, its downloads included, and waits for its thread; what it
  /// was given is forgotten. Called without the model's lock (the update takes it to report),
  /// never at the same time as Answer.
  void Stop();

 private:
  std::int32_t Admission() const;
  void Configure(const XuPacket& request, std::vector<XuPacket>& replies);
  void Start(std::vector<XuPacket>& replies);
  bool Running() const;
  void JoinFinished();

  UpdateTarget& target_;
  const ConnectionState& connection_;
  const HttpFetcherFactory make_fetcher_;
  const NetUpdatePace& pace_;
  const NetUpdateFaults& faults_;
  std::optional<std::string> server_{};
  std::optional<std::string> url_{};
  std::optional<std::uint16_t> port_{};
  std::unique_ptr<UpdateSession> session_{};
  std::thread thread_{};
  /// Set by the update's thread when it has done all it does under the model's lock.
  std::atomic<bool> finished_ = false;
};

}  // namespace hx::emu
