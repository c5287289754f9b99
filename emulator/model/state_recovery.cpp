#include "model/state_recovery.h"

#include "model/device_clock.h"
#include "model/log_server.h"
#include "model/passcode_store.h"
#include "protocol/image_slots.h"

namespace hx::emu {
namespace {

// Every name a file is staged under before it replaces a file of the directory.
std::vector<std::string> StagingNames() {
  std::vector<std::string> names;
  for (std::size_t index = 0; index < ImageSlotTable.size(); ++index) {
    names.emplace_back(ImageSlotTable[index].temporary_file);
    names.push_back(UpdateStagingName(static_cast<std::uint8_t>(index)));
  }
  for (const char* temporary : {PasscodeStore::kPasscodeTemporary, DeviceClock::kClockTemporary,
                                LogServer::kRecordTemporary}) {
    names.emplace_back(temporary);
  }
  return names;
}

}  // namespace

StateRecovery RecoverStateDirectory(CStateDirectory& dir) {
  StateRecovery recovery;
  const std::vector<std::string> names = StagingNames();
  // A directory in a staging file's place would read as a staged image that is gone; nothing
  // is touched while one is there.
  for (const std::string& name : names) {
    if (dir.Inspect(name) == CStateDirectory::EntryKind::kDirectory) {
      recovery.blocked_by = name;
      return recovery;
    }
  }
  recovery.record = CompleteRecordedCommit(dir);
  if (recovery.record == RecordOutcome::kFailed) {
    return recovery;
  }
  for (const std::string& name : names) {
    const CStateDirectory::EntryKind kind = dir.Inspect(name);
    if (kind == CStateDirectory::EntryKind::kAbsent) {
      continue;
    }
    if (const HRESULT hr = dir.Remove(name); FAILED(hr)) {
      recovery.not_removed = name;
      recovery.removal_failure = hr;
      return recovery;
    }
    recovery.removed.emplace_back(name, kind);
  }
  return recovery;
}

}  // namespace hx::emu
