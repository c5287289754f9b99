#pragma once
// Environment variables set for the length of a test.

#include <optional>
#include <string>

namespace hx::test {

/// Sets (or, with nullopt, removes) a variable of this process; the destructor removes it.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(std::string name, const std::optional<std::string>& value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
};

}  // namespace hx::test
