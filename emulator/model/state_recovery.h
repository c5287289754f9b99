#pragma once
// A state directory brought back to whole slots when a device opens it, whatever moment the
// device was stopped at before: a commit whose record is whole is completed, and every staging
// entry left behind goes.

#include <string>
#include <utility>
#include <vector>

#include "model/commit_journal.h"
#include "platform/state_directory.h"

namespace hx::emu {

struct StateRecovery {
  /// A directory found standing where a staging file belongs; nothing was done.
  std::string blocked_by{};
  /// What became of the commit record.
  RecordOutcome record = RecordOutcome::kNone;
  /// The staging entries removed, and what each was (a file, or a link, never followed).
  std::vector<std::pair<std::string, CStateDirectory::EntryKind>> removed{};
  /// A staging entry that could not be removed, and why; the recovery stopped there.
  std::string not_removed{};
  HRESULT removal_failure = S_OK;
};

/// Recovers dir (see above). The recovery is whole unless blocked_by or not_removed is set, or
/// the record could not be completed (RecordOutcome::kFailed).
StateRecovery RecoverStateDirectory(CStateDirectory& dir);

}  // namespace hx::emu
