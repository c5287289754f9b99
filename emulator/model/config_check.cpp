#include "model/config_check.h"

namespace hx::emu {

ConfigCheck::~ConfigCheck() {
  Abandon();
}

void ConfigCheck::Start(std::optional<SlotReader> reader) {
  if (!make_check_) {
    return;
  }
  Abandon();
  std::lock_guard lock(mutex_);
  verdict_.reset();
  checking_ = reader.has_value();
  if (reader) {
    thread_ = std::thread([this, file = std::move(*reader)]() mutable { Check(file); });
  }
}

std::optional<XmlVerdict> ConfigCheck::Verdict() {
  // A device without a parser cannot give a parse result, whether or not it holds a file.
  if (!make_check_) {
    return XmlVerdict::kUnchecked;
  }
  std::unique_lock lock(mutex_);
  checked_.wait(lock, [this] { return !checking_; });
  return verdict_;
}

void ConfigCheck::Check(SlotReader& reader) {
  const std::unique_ptr<XmlCheck> xml = make_check_();
  std::optional<XmlVerdict> verdict = XmlVerdict::kUnchecked;
  if (xml != nullptr) {
    const bool read = reader.ForEachPiece([&](std::span<const std::uint8_t> piece) {
      return !abandoned_.load() && xml->Feed(piece);
    });
    if (abandoned_.load()) {
      return;
    }
    verdict = read ? std::optional(xml->Finish()) : std::nullopt;
  }
  {
    std::lock_guard lock(mutex_);
    verdict_ = verdict;
    checking_ = false;
  }
  checked_.notify_all();
}

void ConfigCheck::Abandon() {
  abandoned_.store(true);
  if (thread_.joinable()) {
    thread_.join();
  }
  abandoned_.store(false);
}

}  // namespace hx::emu
