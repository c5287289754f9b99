#include "app/command_line_refusal.h"

namespace hx {

HRESULT CommandLineRefusal::Refuse(std::wstring_view argument, std::wstring_view problem) {
  if (!HasReason()) {
    argument_ = argument;
    problem_ = problem;
  }
  return E_INVALIDARG;
}

HRESULT CommandLineRefusal::RefuseUnknown(const OptionToken& token) {
  return Refuse(token.Text(), L"not an option of this mode");
}

HRESULT CommandLineRefusal::RefuseWithoutValue(const OptionToken& token) {
  return Refuse(token.Text(),
                L"needs a value, as -" + std::wstring(1, token.Letter()) + L":<value>");
}

std::wstring CommandLineRefusal::Line() const {
  std::wstring line = L"hx7300: ";
  if (!argument_.empty()) {
    line.append(argument_).append(L": ");
  }
  return line.append(problem_);
}

}  // namespace hx
