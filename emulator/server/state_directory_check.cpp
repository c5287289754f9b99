#include "server/state_directory_check.h"

#include "model/device_clock.h"
#include "model/log_server.h"
#include "model/passcode_store.h"
#include "platform/state_directory.h"
#include "protocol/image_slots.h"
#include "server/passcode_check.h"
#include "server/result_text.h"

namespace hx::emu {
namespace {

// Clears one staging name; false with a problem when it cannot be cleared.
bool ClearStagingEntry(CStateDirectory& dir, const std::string& path, const char* name,
                       std::vector<std::string>& notes, std::string& problem) {
  const CStateDirectory::EntryKind kind = dir.Inspect(name);
  if (kind == CStateDirectory::EntryKind::kAbsent) {
    return true;
  }
  if (kind == CStateDirectory::EntryKind::kDirectory) {
    problem = "--state-dir " + path + " holds a directory named " + name +
              " where a staging file belongs; remove it or choose another directory";
    return false;
  }
  if (const HRESULT hr = dir.Remove(name); FAILED(hr)) {
    problem = "--state-dir " + path + ": cannot remove " + name + ": " + DescribeResult(hr);
    return false;
  }
  notes.push_back(std::string("removed ") +
                  (kind == CStateDirectory::EntryKind::kLink ? "a link" : "a stale file") +
                  " named " + name + " from the state directory " + path);
  return true;
}

}  // namespace

bool PrepareStateDirectory(const std::string& path, std::vector<std::string>& notes,
                           std::string& problem) {
  CStateDirectory dir;
  const HRESULT hr = dir.Open(path);
  if (hr == kHrNotADirectory) {
    problem = "--state-dir " + path + " is not a directory";
    return false;
  }
  if (FAILED(hr)) {
    problem = "--state-dir " + path + " cannot be used: " + DescribeResult(hr);
    return false;
  }
  for (const ImageSlot& slot : ImageSlotTable) {
    if (!ClearStagingEntry(dir, path, slot.temporary_file, notes, problem)) {
      return false;
    }
  }
  for (const char* temporary : {PasscodeStore::kPasscodeTemporary, DeviceClock::kClockTemporary,
                                LogServer::kRecordTemporary}) {
    if (!ClearStagingEntry(dir, path, temporary, notes, problem)) {
      return false;
    }
  }
  std::string kept;
  if (PasscodeStore::ReadKept(dir, kept)) {
    if (const std::string why = PasscodeProblem(kept); !why.empty()) {
      problem = "--state-dir " + path + ": its " + PasscodeStore::kPasscodeFile + " file " + why;
      return false;
    }
  }
  return true;
}

}  // namespace hx::emu
