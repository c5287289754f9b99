#pragma once
// The commit of a network update's images as one transaction over several slots. The images are
// staged beside their slots and synced; then a record naming every rename is written and synced;
// then the renames are made, the directory synced and the record removed. A device that stops
// anywhere on the way finds, when it next opens the directory, either no whole record (and its
// slots as they were) or a whole one, whose remaining renames it makes: every slot of the update
// old, or every one new.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/state_directory.h"

namespace hx::emu {

/// The file that records a commit in progress.
inline constexpr const char* kCommitRecordFile = "COMMIT.JNL";

/// The points of a commit at which a device can be stopped, for the fault that does so.
enum class CommitStep {
  kBeforeRecord,    ///< every image staged and synced, no record yet
  kAfterRecord,     ///< the record synced, no slot renamed
  kBetweenRenames,  ///< the first slot renamed, others not
  kAfterRenames,    ///< every slot renamed and the directory synced, the record still there
};
/// Called at each step of a commit, on the thread that commits.
using CommitPause = std::function<void(CommitStep)>;

/// "before-record", "after-record", "between-renames" or "after-renames".
std::string_view CommitStepName(CommitStep step);

/// The name under which a network update stages slot index's image: the device file's name
/// and ".NEW", never that of an upload's staging file.
std::string UpdateStagingName(std::uint8_t index);

/// What became of a record found in the state directory.
enum class RecordOutcome {
  kNone,       ///< there was none
  kCompleted,  ///< it was whole: its renames have all been made and it has gone
  kTorn,       ///< cut short by a crash, or no record of this device's: removed, nothing renamed
  kFailed,     ///< whole, but a rename or the removal failed: it stays, to be completed later
};

/// Completes the commit that the record in dir names, if it is whole: makes each rename whose
/// staged image is still there (the others were made before the device stopped), syncs the
/// directory and removes the record.
RecordOutcome CompleteRecordedCommit(CStateDirectory& dir, const CommitPause& pause = {});

enum class CommitOutcome {
  kCommitted,  ///< every staged image is its slot's contents
  kNotBegun,   ///< the record could not be written: no slot changed, the staged images stay
  kCutShort,   ///< the record is written but not every rename could be made; the record and
               ///< what is still staged stay for CompleteRecordedCommit
};

/// Makes the images staged (and synced) under UpdateStagingName for slots, in that order,
/// their slots' contents as one transaction.
CommitOutcome CommitStaged(CStateDirectory& dir, std::span<const std::uint8_t> slots,
                           const CommitPause& pause);

}  // namespace hx::emu
