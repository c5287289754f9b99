#pragma once
// The verdict on the configuration file (QVCONFIG.XML) that the parse result reports. It is
// worked out once, when the file is committed (and when the device starts), on a thread of its
// own, streaming the file to the XML check: neither the commit nor the query reads the file,
// and the query waits only for a check still in progress.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "model/slot_reader.h"
#include "model/xml_check.h"

namespace hx::emu {

class ConfigCheck {
 public:
  /// make_check: the XML parser; without one nothing is checked and every verdict is
  /// kUnchecked.
  explicit ConfigCheck(XmlCheckFactory make_check) : make_check_(std::move(make_check)) {}
  /// A check in progress is abandoned and waited for.
  ~ConfigCheck();
  ConfigCheck(const ConfigCheck&) = delete;
  ConfigCheck& operator=(const ConfigCheck&) = delete;

  /// Checks the file that reader reads (nullopt: there is none), in place of the one before,
  /// whose check, if still in progress, is abandoned.
  void Start(std::optional<SlotReader> reader);
  /// The verdict on the file last started; nullopt when there is none, or it cannot be read.
  /// Waits while it is being checked. kUnchecked, file or none, without a parser.
  std::optional<XmlVerdict> Verdict();

 private:
  void Check(SlotReader& reader);
  void Abandon();

  const XmlCheckFactory make_check_;
  std::mutex mutex_;
  std::condition_variable checked_;
  bool checking_ = false;
  std::optional<XmlVerdict> verdict_{};
  std::atomic<bool> abandoned_ = false;
  std::thread thread_{};
};

}  // namespace hx::emu
