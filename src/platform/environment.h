#pragma once
// The process's environment variables, as text.

#include <optional>
#include <string>

namespace hx::platform {

/// The variable's value (decoded as file names are: with the locale on POSIX, as the system
/// gives it on Windows); nullopt when it is not set.
std::optional<std::wstring> EnvironmentText(const char* name);

}  // namespace hx::platform
