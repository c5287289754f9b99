#include <cstdlib>

#include "platform/environment.h"
#include "platform/locale_text.h"

namespace hx::platform {

std::optional<std::wstring> EnvironmentText(const char* name) {
  const char* const value = std::getenv(name);
  if (value == nullptr) {
    return std::nullopt;
  }
  return WidenLocaleText(value);
}

}  // namespace hx::platform
