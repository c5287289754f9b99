#include "server/state_directory_check.h"

#include "model/passcode_store.h"
#include "model/state_recovery.h"
#include "platform/state_directory.h"
#include "server/passcode_check.h"
#include "server/result_text.h"

namespace hx::emu {
namespace {

std::string RemovalNote(const std::string& name, CStateDirectory::EntryKind kind,
                        const std::string& where) {
  return std::string("removed ") +
         (kind == CStateDirectory::EntryKind::kLink ? "a link" : "a stale file") + " named " +
         name + " from" + where;
}

// Says what the recovery did; false with a problem when the directory cannot be used.
bool Report(const StateRecovery& recovery, const std::string& path, std::vector<std::string>& notes,
            std::string& problem) {
  const std::string where = " the state directory " + path;
  if (!recovery.blocked_by.empty()) {
    problem = "--state-dir " + path + " holds a directory named " + recovery.blocked_by +
              " where a staging file belongs; remove it or choose another directory";
    return false;
  }
  if (recovery.record == RecordOutcome::kFailed) {
    problem = "--state-dir " + path + ": the commit recorded in " + kCommitRecordFile +
              " can be neither completed nor removed";
    return false;
  }
  if (recovery.record == RecordOutcome::kCompleted) {
    notes.push_back("completed the commit of an update that was stopped midway, as " +
                    std::string(kCommitRecordFile) + " in" + where + " recorded it");
  } else if (recovery.record == RecordOutcome::kTorn) {
    notes.push_back("removed a commit record cut short (" + std::string(kCommitRecordFile) +
                    ") from" + where + "; its update changed no slot");
  }
  for (const auto& [name, kind] : recovery.removed) {
    notes.push_back(RemovalNote(name, kind, where));
  }
  if (!recovery.not_removed.empty()) {
    problem = "--state-dir " + path + ": cannot remove " + recovery.not_removed + ": " +
              DescribeResult(recovery.removal_failure);
    return false;
  }
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
  // The model recovers the directory again when it opens it, and then finds nothing to do.
  if (!Report(RecoverStateDirectory(dir), path, notes, problem)) {
    return false;
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
