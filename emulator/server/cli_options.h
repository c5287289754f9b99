#pragma once
// The command line of hx7300-emulator.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "model/firmware_options.h"

namespace hx::emu {

struct ServerOptions {
  /// The virtual device link on a Unix-domain or TCP socket, or a USB/IP export over TCP.
  enum class Kind { kUnix, kTcp, kUsbip } kind = Kind::kUnix;
  std::string path;  ///< kUnix
  std::string host;  ///< kTcp and kUsbip: a numeric address
  std::uint16_t port = 0;
  /// kUnix and kTcp: a client that sends no request for this long is closed; 0: never.
  std::chrono::seconds idle_timeout{300};
  FirmwareOptions firmware;
};

enum class CliOutcome { kRun, kHelp, kVersion, kRefused };

/// Parses the arguments after the program name. On kRefused, error says why.
CliOutcome ParseServerCommandLine(const std::vector<std::string>& args, ServerOptions& options,
                                  std::string& error);

/// The --help screen.
std::string ServerHelpText();

}  // namespace hx::emu
