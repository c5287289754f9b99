#pragma once
// What the device has uploaded to its log server, one line per upload, oldest first: the
// virtual device's stand-in for the server itself. With a state directory the lines are also
// kept in its file LOGSERVER.TXT, which a restarted device goes on adding to.

#include <string>
#include <vector>

#include "platform/state_directory.h"

namespace hx::emu {

class LogServer {
 public:
  static constexpr const char* kRecordFile = "LOGSERVER.TXT";
  static constexpr const char* kRecordTemporary = "LOGSERVER.TMP";

  /// state_dir: where the record is kept as well, or null.
  explicit LogServer(CStateDirectory* state_dir);

  /// Adds one upload; false, and nothing added, when the state directory cannot keep it.
  bool Record(const std::string& line);
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  CStateDirectory* state_dir_;
  std::vector<std::string> lines_;
};

}  // namespace hx::emu
