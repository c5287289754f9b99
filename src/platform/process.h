#pragma once
// What a program of this project sets up before it does anything else.

namespace hx::platform {

/// Sets the process up for the run: on POSIX the user's locale for text, and a write to a pipe
/// whose reader has gone failing with an error (which the run reports) instead of ending the
/// process without a word; on Windows the component runtime for the main thread, which the
/// device discovery needs (a failure shows when the device is opened).
void PrepareProcess();

}  // namespace hx::platform
