#include "server/cli_options.h"

#include <charconv>

#include "model/config_faults.h"
#include "model/net_update_options.h"
#include "model/option_text.h"
#include "model/option_values.h"
#include "protocol/link_frames.h"
#include "server/passcode_check.h"

namespace hx::emu {
namespace {

bool ParseListen(std::string_view text, ServerOptions& options) {
  if (text.starts_with("unix:") && text.size() > 5) {
    options.kind = ServerOptions::Kind::kUnix;
    options.path = std::string(text.substr(5));
    return true;
  }
  if (text.starts_with("tcp:")) {
    options.kind = ServerOptions::Kind::kTcp;
    text.remove_prefix(4);
  } else if (text.starts_with("usbip:")) {
    options.kind = ServerOptions::Kind::kUsbip;
    text.remove_prefix(6);
  } else {
    return false;
  }
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) {
    return false;
  }
  const std::string_view port = text.substr(colon + 1);
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), options.port);
  options.host = std::string(text.substr(0, colon));
  return !port.empty() && error == std::errc() && end == port.data() + port.size();
}

// Applies one option that takes a value; false when the value is refused.
bool ApplyOption(std::string_view name, const std::string& value, ServerOptions& options,
                 std::string& error) {
  FirmwareOptions& firmware = options.firmware;
  if (name == "--listen") {
    if (!ParseListen(value, options)) {
      error = "bad --listen address '" + value + "'";
      return false;
    }
    return true;
  }
  if (name == "--idle-timeout") {
    std::uint32_t seconds = 0;
    if (!ParseInto(value, seconds)) {
      error = "bad --idle-timeout '" + value + "': a whole number of seconds, 0 for none";
      return false;
    }
    options.idle_timeout = std::chrono::seconds(seconds);
    return true;
  }
  if (name == "--passcode") {
    return PasscodeFromArgument(value, firmware.passcode, error);
  }
  if (name == "--state-dir") {
    firmware.state_dir = value;
  } else if (name == "--device-path") {
    if (value.size() > link::kMaxDevicePath) {
      error = "--device-path is longer than the link carries";
      return false;
    }
    firmware.device_path = value;
  } else if (name == "--daa") {
    return ApplyDaaText(value, firmware.daa, error);
  } else if (name == "--net-update") {
    return ApplyNetUpdatePaceText(value, firmware.net_update_pace, error);
  } else if (name == "--fault") {
    return ApplyFaultText(value, firmware.faults, error);
  } else {
    error = "unknown option '" + std::string(name) + "'";
    return false;
  }
  return true;
}

}  // namespace

CliOutcome ParseServerCommandLine(const std::vector<std::string>& args, ServerOptions& options,
                                  std::string& error) {
  bool listen_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--help" || name == "-h") {
      return CliOutcome::kHelp;
    }
    if (name == "--version") {
      return CliOutcome::kVersion;
    }
    if (i + 1 == args.size()) {
      error = "option '" + name + "' needs a value";
      return CliOutcome::kRefused;
    }
    if (!ApplyOption(name, args[++i], options, error)) {
      return CliOutcome::kRefused;
    }
    listen_given = listen_given || name == "--listen";
  }
  if (!listen_given) {
    error = "--listen is required";
    return CliOutcome::kRefused;
  }
  return CliOutcome::kRun;
}

std::string ServerHelpText() {
  std::string text =
      "Usage: hx7300-emulator --listen unix:PATH|tcp:ADDRESS:PORT|usbip:ADDRESS:PORT [options]\n"
      "\n"
      "Serves a virtual HX7300 over the virtual device link, one client at a time, until\n"
      "interrupted. Port 0 lets the system choose; the address actually used is printed.\n"
      "With usbip: the device is exported as a USB camera (bus id 1-1) that a Linux host\n"
      "attaches with 'usbip attach -r ADDRESS -b 1-1' (on port 3240 unless told otherwise),\n"
      "so that the host's own uvcvideo driver carries the utility's transfers.\n"
      "\n"
      "Options:\n"
      "  --listen ADDR         where to listen, and how (required)\n"
      "  --passcode TEXT       the device passcode (default 1234): 1 to 15 letters and digits,\n"
      "                        as a run can type them\n"
      "  --state-dir DIR       keep the device's state as files in DIR (below)\n"
      "  --device-path TEXT    the device path announced to clients\n"
      "  --idle-timeout SECONDS\n"
      "                        close a client of unix: or tcp: that sends no request for this\n"
      "                        long, freeing the device for the next (default 300; 0: never)\n"
      "  --daa KEY=V[,KEY=V]   DAA settings: group, record3, gcr, ictrl1-voice, ictrl2-voice,\n"
      "                        ictrl3-voice, ictrl1-dtmf, ictrl2-dtmf, ictrl3-dtmf, lvcs,\n"
      "                        low-mag, high-mag\n"
      "  --net-update KEY=V[,KEY=V]\n"
      "                        pace of the network update: stage-ms (a pause before each\n"
      "                        stage it reports), rate (download bytes per second)\n"
      "  --fault NAME[=VALUE]  inject one of the faults below; may be repeated\n"
      "  --version             print the version and end\n"
      "  --help                this text\n"
      "\n"
      "Device state, kept while the emulator runs in these files of --state-dir, or without\n"
      "it of a private temporary directory (for the owner alone) removed when it ends:\n"
      "  image slots           one file each, named by its device file name (NK.BIN, ...)\n"
      "  passcode              PASSCODE, once changed\n"
      "  clock and time zone   CLOCK.TXT, as last set: zone index, local time and UTC\n"
      "  log server            LOGSERVER.TXT, one line per upload the device made (CELOG,\n"
      "                        or a stored file asked for by name)\n"
      "A reboot (cfg -r, -rm) closes the link and forgets the host's authorisation, its\n"
      "unread replies and any transfer or network update in progress; the state above stays.\n"
      "The parse result is that of QVCONFIG.XML: no file or not well-formed XML fails parsing.\n"
      "Network update: the device downloads over HTTP/1.1 from the server, port and\n"
      "URL the host gives it; the URL names a manifest of lines 'DEVICEFILE PATH'\n"
      "(device files as NK.BIN, SIG.CAT, QVCONFIG.XML; paths relative to the manifest).\n";
  text += "\nFaults (NAME[=VALUE] for --fault):\n";
  text += ConfigFaultHelpText();
  text += FaultHelpText();
  text += NetUpdateFaultHelpText();
  return text;
}

}  // namespace hx::emu
