// Reads whatever a file handed to HX7300_DEVICE=replay: holds as a recording. Oracle: the text
// cut into two pieces anywhere reads as it does whole, and what is read is a recording that
// can be played back (transfers numbered from 1, no interrupt after transfers it lacks).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "device/replay/recording_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  // The first byte chooses where the rest is cut.
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = text.empty() ? 0 : data[0] % (text.size() + 1);

  hx::replay::Recording whole;
  std::string problem;
  const bool read = hx::replay::ParseRecording(text, whole, problem);
  hx::replay::Recording pieces;
  hx::replay::RecordingParser parser(pieces);
  const bool read_in_pieces =
      parser.Feed(text.substr(0, cut)) && parser.Feed(text.substr(cut)) && parser.End();
  if (read != read_in_pieces || problem != parser.Problem() || read != problem.empty()) {
    std::abort();
  }
  if (!read) {
    return 0;
  }
  if (pieces.transfers.size() != whole.transfers.size() || pieces.interrupts != whole.interrupts ||
      (!whole.interrupts.empty() && whole.interrupts.back() > whole.transfers.size())) {
    std::abort();
  }
  for (std::size_t i = 0; i < whole.transfers.size(); ++i) {
    const hx::replay::RecordedTransfer& transfer = whole.transfers[i];
    if (!(transfer.packet == pieces.transfers[i].packet) ||
        (transfer.kind == hx::TransferKind::kSet && !transfer.has_packet)) {
      std::abort();
    }
  }
  return 0;
}
