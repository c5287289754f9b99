#include "model/log_server.h"

#include <cstdint>

#include "model/state_file.h"

namespace hx::emu {

LogServer::LogServer(CStateDirectory* state_dir) : state_dir_(state_dir) {
  std::vector<std::uint8_t> kept;
  if (state_dir_ == nullptr || FAILED(state_dir_->Read(kRecordFile, kept))) {
    return;
  }
  std::string line;
  for (const std::uint8_t byte : kept) {
    if (byte == '\n') {
      lines_.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(byte));
    }
  }
}

bool LogServer::Record(const std::string& line) {
  if (state_dir_ != nullptr) {
    std::string text;
    for (const std::string& kept : lines_) {
      text += kept + "\n";
    }
    if (!ReplaceStateFile(*state_dir_, kRecordTemporary, kRecordFile, text + line + "\n")) {
      return false;
    }
  }
  lines_.push_back(line);
  return true;
}

}  // namespace hx::emu
