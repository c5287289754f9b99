#pragma once
// The state directory as hx7300-emulator finds it at start.

#include <string>
#include <vector>

namespace hx::emu {

/// Readies the state directory: creates it (for the owner alone) when missing, completes a
/// commit that a killed device recorded whole, removes what stands where a staging file belongs
/// (a file a killed device left, or a link, which is never written through) and refuses a
/// directory standing there, or a PASSCODE file that holds no passcode a run could type.
/// Returns false, with a message in problem, when the directory
/// cannot be used; notes receives a line for each thing done.
bool PrepareStateDirectory(const std::string& path, std::vector<std::string>& notes,
                           std::string& problem);

}  // namespace hx::emu
