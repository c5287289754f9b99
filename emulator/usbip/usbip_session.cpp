#include "usbip/usbip_session.h"

namespace hx::emu {
namespace {

// More than the device ever needs; a host that asks for more is not one to serve.
constexpr std::uint32_t kMaxOutData = 64 * 1024;
constexpr std::size_t kMaxParked = 1024;
constexpr std::uint32_t kEndpointNumberMask = 0x0F;

}  // namespace

UsbipSession::UsbipSession(StreamSocket socket, FirmwareModel& model)
    : socket_(std::move(socket)), model_(model), camera_(model) {}

void UsbipSession::Run(const StopCheck& stop) {
  model_.SetInterruptSink([this] { RaiseInterrupt(); });
  while (ServeNext(stop)) {
  }
  model_.SetInterruptSink({});
  model_.ConnectionEnded();
}

bool UsbipSession::ServeNext(const StopCheck& stop) {
  usbip::UrbHeaderBytes header{};
  if (FAILED(socket_.ReceiveExact(header, std::nullopt, stop))) {
    return false;
  }
  switch (static_cast<usbip::UrbCommand>(usbip::UrbCommandOf(header))) {
    case usbip::UrbCommand::kSubmit:
      return Submit(usbip::DecodeSubmitCommand(header), stop);
    case usbip::UrbCommand::kUnlink:
      return Unlink(usbip::DecodeUnlinkCommand(header));
    default:
      return false;
  }
}

bool UsbipSession::Submit(const usbip::SubmitCommand& command, const StopCheck& stop) {
  std::vector<std::uint8_t> out_data;
  if (command.basic.direction == usbip::kDirectionOut) {
    if (command.buffer_length > kMaxOutData) {
      return false;
    }
    out_data.resize(command.buffer_length);
    if (FAILED(socket_.ReceiveExact(out_data, std::nullopt, stop))) {
      return false;
    }
  }
  const std::uint32_t endpoint = command.basic.endpoint & kEndpointNumberMask;
  if (endpoint == 0) {
    return Control(command, out_data);
  }
  std::lock_guard lock(mutex_);
  if (endpoint == (usb::kStatusEndpoint & kEndpointNumberMask) &&
      command.basic.direction == usbip::kDirectionIn) {
    // The driver keeps one status URB in flight; should a second come, the first waits on.
    if (waiting_interrupt_ && !Park(waiting_interrupt_->sequence)) {
      return false;
    }
    waiting_interrupt_ = WaitingUrb{command.basic.sequence, command.buffer_length};
    return DeliverHeldInterrupt();
  }
  return Park(command.basic.sequence);
}

bool UsbipSession::Park(std::uint32_t sequence) {
  if (parked_.size() >= kMaxParked) {
    return false;
  }
  parked_.insert(sequence);
  return true;
}

bool UsbipSession::Control(const usbip::SubmitCommand& command,
                           const std::vector<std::uint8_t>& out_data) {
  {
    std::lock_guard lock(mutex_);
    in_control_transfer_ = true;
  }
  const auto setup = usb::SetupPacket::FromBytes(command.setup);
  usb::ControlOutcome outcome = camera_.Control(setup, out_data);

  std::lock_guard lock(mutex_);
  in_control_transfer_ = false;
  if (outcome.kind == usb::ControlOutcome::Kind::kUnanswered) {
    return Park(command.basic.sequence);
  }
  usbip::SubmitReply reply;
  reply.basic.sequence = command.basic.sequence;
  std::span<const std::uint8_t> in_data;
  if (outcome.kind == usb::ControlOutcome::Kind::kStall) {
    reply.status = usbip::kUrbStalled;
  } else if (command.basic.direction == usbip::kDirectionIn) {
    in_data = std::span(outcome.data)
                  .first(std::min<std::size_t>(outcome.data.size(), command.buffer_length));
    reply.actual_length = static_cast<std::uint32_t>(in_data.size());
  } else {
    reply.actual_length = static_cast<std::uint32_t>(out_data.size());
  }
  // A real device raises the interrupt after the status stage of the request that caused it.
  return Send(usbip::EncodeSubmitReply(reply), in_data) && DeliverHeldInterrupt();
}

bool UsbipSession::Unlink(const usbip::UnlinkCommand& command) {
  std::lock_guard lock(mutex_);
  usbip::UnlinkReply reply;
  reply.basic.sequence = command.basic.sequence;
  if (waiting_interrupt_ && waiting_interrupt_->sequence == command.unlinked_sequence) {
    waiting_interrupt_.reset();
    reply.status = usbip::kUrbUnlinked;
  } else if (parked_.erase(command.unlinked_sequence) != 0) {
    reply.status = usbip::kUrbUnlinked;
  }
  return Send(usbip::EncodeUnlinkReply(reply));
}

void UsbipSession::RaiseInterrupt() {
  std::lock_guard lock(mutex_);
  interrupt_held_ = true;
  if (!in_control_transfer_) {
    // A failed write shows up as the reader's next failure; there is nobody else to tell.
    DeliverHeldInterrupt();
  }
}

bool UsbipSession::DeliverHeldInterrupt() {
  if (!interrupt_held_ || !waiting_interrupt_) {
    return true;
  }
  usbip::SubmitReply reply;
  reply.basic.sequence = waiting_interrupt_->sequence;
  const auto packet = usb::VirtualCamera::StatusInterrupt();
  const auto status = std::span(packet).first(
      std::min<std::size_t>(packet.size(), waiting_interrupt_->buffer_length));
  reply.actual_length = static_cast<std::uint32_t>(status.size());
  waiting_interrupt_.reset();
  // Interrupts that came while no URB waited are held as one: a status read lists every
  // waiting reply, however many interrupts announced them.
  interrupt_held_ = false;
  return Send(usbip::EncodeSubmitReply(reply), status);
}

bool UsbipSession::Send(const usbip::UrbHeaderBytes& header, std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> message(header.begin(), header.end());
  message.insert(message.end(), data.begin(), data.end());
  return SUCCEEDED(socket_.SendAll(message));
}

}  // namespace hx::emu
