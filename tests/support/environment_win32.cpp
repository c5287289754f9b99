#include <cstdlib>

#include "support/environment.h"

namespace hx::test {

// _putenv_s changes the runtime's copy, which getenv and _wgetenv read, and the system's; an
// empty value removes the variable.
ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::string name,
                                                     const std::optional<std::string>& value)
    : name_(std::move(name)) {
  ::_putenv_s(name_.c_str(), value ? value->c_str() : "");
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  ::_putenv_s(name_.c_str(), "");
}

}  // namespace hx::test
