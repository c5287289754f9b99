// hx7300-emulator: a virtual HX7300 served over the virtual device link.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "model/firmware_model.h"
#include "platform/stop_signal.h"
#include "platform/stream_socket.h"
#include "platform/temporary_directory.h"
#include "server/cli_options.h"
#include "server/link_server.h"
#include "server/result_text.h"
#include "server/state_directory_check.h"
#include "usbip/usbip_server.h"
#include "xml/xml_parser.h"

namespace {

HRESULT Listen(const hx::emu::ServerOptions& options, hx::ListeningSocket& listener,
               std::string& where) {
  if (options.kind == hx::emu::ServerOptions::Kind::kUnix) {
    where = "unix:" + options.path;
    return listener.ListenUnix(options.path);
  }
  const HRESULT hr = listener.ListenTcp(options.host, options.port);
  // The port the system chose when 0 was asked for; the one asked for when listening failed.
  where = (options.kind == hx::emu::ServerOptions::Kind::kUsbip ? "usbip:" : "tcp:") +
          options.host + ":" + std::to_string(SUCCEEDED(hr) ? listener.Port() : options.port);
  return hr;
}

// Refuses a state directory that cannot be used safely; 2, as for a refused command line.
int CheckStateDirectory(const std::string& path) {
  std::vector<std::string> notes;
  std::string problem;
  const bool usable = hx::emu::PrepareStateDirectory(path, notes, problem);
  for (const std::string& note : notes) {
    std::fprintf(stderr, "hx7300-emulator: %s\n", note.c_str());
  }
  if (!usable) {
    std::fprintf(stderr, "hx7300-emulator: %s\n", problem.c_str());
    return 2;
  }
  return 0;
}

int Run(hx::emu::ServerOptions options) {
  if (FAILED(hx::InstallStopSignal())) {
    std::fprintf(stderr, "hx7300-emulator: cannot handle termination signals\n");
    return 1;
  }
  // Without a state directory of its own the device still keeps its images in files, so that
  // an update never holds them in memory; they go when the emulator ends.
  hx::CTemporaryDirectory private_state;
  if (options.firmware.state_dir.empty()) {
    if (const HRESULT hr = private_state.Create("hx7300-emulator-"); FAILED(hr)) {
      std::fprintf(stderr, "hx7300-emulator: cannot make a private state directory: %s\n",
                   hx::emu::DescribeResult(hr).c_str());
      return 1;
    }
    options.firmware.state_dir = private_state.Path();
  } else if (const int status = CheckStateDirectory(options.firmware.state_dir); status != 0) {
    return status;
  }
  hx::emu::FirmwareModel model(options.firmware, {hx::emu::MakeHttpClient, hx::emu::MakeXmlParser});
  hx::ListeningSocket listener;
  std::string where;
  const HRESULT hr = Listen(options, listener, where);
  if (FAILED(hr)) {
    std::fprintf(stderr, "hx7300-emulator: cannot listen on %s: %s\n", where.c_str(),
                 hx::emu::DescribeResult(hr).c_str());
    return 1;
  }
  // Whoever started the emulator waits for this line before connecting.
  std::printf("hx7300-emulator listening on %s\n", where.c_str());
  std::fflush(stdout);
  const HRESULT served =
      options.kind == hx::emu::ServerOptions::Kind::kUsbip
          ? hx::emu::ServeUsbip(listener, model, hx::StopRequested)
          : hx::emu::ServeClients(listener, model, options.idle_timeout, hx::StopRequested);
  listener.Close();
  return SUCCEEDED(served) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // --passcode is decoded as the utility decodes what is typed at its prompt: with the locale.
  std::setlocale(LC_CTYPE, "");
  const std::vector<std::string> args(argv + 1, argv + argc);
  hx::emu::ServerOptions options;
  std::string error;
  switch (hx::emu::ParseServerCommandLine(args, options, error)) {
    case hx::emu::CliOutcome::kHelp:
      std::fputs(hx::emu::ServerHelpText().c_str(), stdout);
      return 0;
    case hx::emu::CliOutcome::kVersion:
      std::fputs("hx7300-emulator " HX7300_VERSION "\n", stdout);
      return 0;
    case hx::emu::CliOutcome::kRefused:
      std::fprintf(stderr, "hx7300-emulator: %s\n%s", error.c_str(),
                   hx::emu::ServerHelpText().c_str());
      return 2;
    case hx::emu::CliOutcome::kRun:
      break;
  }
  return Run(options);
}
