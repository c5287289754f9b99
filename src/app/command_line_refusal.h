#pragma once
// Why a command line was refused. The usage screen on standard output stays exactly as it is;
// the reason goes to standard error as one line, so that a script, which sees only the screen
// and exit status 0, can tell what was wrong.

#include <string>
#include <string_view>

#include "app/option_token.h"
#include "platform/hresult.h"

namespace hx {

class CommandLineRefusal {
 public:
  /// Notes what is wrong with argument (empty when something is missing rather than wrong)
  /// and returns E_INVALIDARG for the parser to return. The first reason noted is kept: it is
  /// the one that stopped the parse.
  HRESULT Refuse(std::wstring_view argument, std::wstring_view problem);
  /// A token that the mode does not take.
  HRESULT RefuseUnknown(const OptionToken& token);
  /// A token of a letter that needs a value, given without one.
  HRESULT RefuseWithoutValue(const OptionToken& token);
  bool HasReason() const { return !problem_.empty(); }
  /// "hx7300: <argument>: <problem>", or "hx7300: <problem>" when no argument is at fault;
  /// without a line end.
  std::wstring Line() const;

 private:
  std::wstring argument_;
  std::wstring problem_;
};

}  // namespace hx
