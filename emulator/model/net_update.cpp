#include "model/net_update.h"

#include <algorithm>

#include "model/device_status.h"
#include "protocol/net_image_steps.h"
#include "protocol/opcodes.h"

namespace hx::emu {
namespace {

constexpr std::int32_t kStatusBusy = HresultFromError(kErrorBusy);

// The request's text up to its zero byte, or the whole field when it has none.
std::string TextOf(const XuPacket& request) {
  const auto text = request.NetText();
  const auto end = std::ranges::find(text, std::uint8_t{0});
  return {text.begin(), end};
}

}  // namespace

void NetUpdate::Answer(const XuPacket& request, std::vector<XuPacket>& replies) {
  switch (request.Step()) {
    case NETIMG_STEP_SERVER:
    case NETIMG_STEP_URL:
    case NETIMG_STEP_PORT:
      Configure(request, replies);
      return;
    case NETIMG_STEP_START:
      Start(replies);
      return;
    case NETIMG_STEP_FINAL:
      // The host's last word: it reads nothing after it.
      if (!Running()) {
        JoinFinished();
        server_.reset();
        url_.reset();
        port_.reset();
      }
      return;
    default:
      replies.push_back(
          StageReply(static_cast<std::uint8_t>(request.Step()), kStatusInvalidArgument, faults_));
  }
}

std::int32_t NetUpdate::Admission() const {
  if (!connection_.IsAuthorised(XU_OPCODE_IMGUPD_NET_INFO)) {
    return kStatusAccessDenied;
  }
  return Running() ? kStatusBusy : 0;
}

void NetUpdate::Configure(const XuPacket& request, std::vector<XuPacket>& replies) {
  const auto step = static_cast<std::uint8_t>(request.Step());
  const XuPacket reply = StageReply(step, Admission(), faults_);
  replies.push_back(reply);
  if (!StagePassed(reply)) {
    return;
  }
  if (step == NETIMG_STEP_SERVER) {
    server_ = TextOf(request);
  } else if (step == NETIMG_STEP_URL) {
    url_ = TextOf(request);
  } else {
    port_ = request.Port();
  }
}

// An update that cannot start is refused in its first stage; one that starts reports that
// stage itself.
void NetUpdate::Start(std::vector<XuPacket>& replies) {
  std::int32_t status = Admission();
  if (status == 0 && (!server_ || !url_ || !port_)) {
    status = kStatusInvalidArgument;
  }
  if (status != 0) {
    replies.push_back(StageReply(NETIMG_STAGE_INITIALIZING, status, faults_));
    return;
  }
  JoinFinished();
  session_ = std::make_unique<UpdateSession>(target_, make_fetcher_ ? make_fetcher_() : nullptr,
                                             UpdateSource{*server_, *url_, *port_}, pace_, faults_);
  finished_.store(false);
  thread_ = std::thread([this, session = session_.get()] {
    session->Run();
    finished_.store(true);
  });
}

bool NetUpdate::Running() const {
  return thread_.joinable() && !finished_.load();
}

// A finished update's thread takes the model's lock no more: it may be joined under it.
void NetUpdate::JoinFinished() {
  if (thread_.joinable() && finished_.load()) {
    thread_.join();
  }
}

void NetUpdate::Stop() {
  if (session_ != nullptr) {
    session_->Cancel();
  }
  if (thread_.joinable()) {
    thread_.join();
  }
  session_.reset();
  server_.reset();
  url_.reset();
  port_.reset();
}

}  // namespace hx::emu
