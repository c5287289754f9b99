#pragma once
// The command line of hx7300-emulator.

#include <string>
#include <vector>

#include "model/firmware_options.h"

namespace hx::emu {

struct ServerOptions {
  enum class Kind { kUnix, kTcp } kind = Kind::kUnix;
  std::string path;  ///< kUnix
  std::string host;  ///< kTcp: a numeric address
  std::uint16_t port = 0;
  FirmwareOptions firmware;
};

enum class CliOutcome { kRun, kHelp, kRefused };

/// Parses the arguments after the program name. On kRefused, error says why.
CliOutcome ParseServerCommandLine(const std::vector<std::string>& args, ServerOptions& options,
                                  std::string& error);

/// The --help screen.
std::string ServerHelpText();

}  // namespace hx::emu
