#pragma once
// Building command lines for the front end's tests: "hx7300", the mode argument, then tokens.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "app/option_parsers.h"
#include "operations/mode_options.h"

namespace hx::test {

/// An argument vector of wide texts that the test keeps alive.
using Arguments = std::vector<const wchar_t*>;

/// "hx7300 <mode_argument> <tokens...>".
inline Arguments CommandLine(const wchar_t* mode_argument,
                             std::initializer_list<const wchar_t*> tokens = {}) {
  Arguments arguments{L"hx7300", mode_argument};
  arguments.insert(arguments.end(), tokens.begin(), tokens.end());
  return arguments;
}

/// A record as the entry leaves it before a parser runs: zeroed, with the mode selected.
inline ModeOptions OptionsForMode(std::int32_t mode_code) {
  ModeOptions options{};
  options.ModeCode = mode_code;
  return options;
}

using OptionParser = HRESULT (*)(ArgumentVector, ModeOptions&, CommandLineRefusal&);

/// Runs a parser for its result alone; the reason of a refusal is dropped.
inline HRESULT Parse(OptionParser parse, ArgumentVector arguments, ModeOptions& options) {
  CommandLineRefusal refusal;
  return parse(arguments, options, refusal);
}

/// Runs one mode's parser on "hx7300 -m:<mode> <tokens...>" with a fresh record for mode_code.
inline HRESULT ParseTokens(OptionParser parse, std::int32_t mode_code,
                           std::initializer_list<const wchar_t*> tokens, ModeOptions& options) {
  options = OptionsForMode(mode_code);
  return Parse(parse, CommandLine(L"-m:<mode>", tokens), options);
}

}  // namespace hx::test
