#include "operations/image_size_confirmation.h"

#include <array>
#include <cstring>

#include "console/console_io.h"
#include "console/console_print.h"
#include "console/read_stdin_line.h"

namespace hx {
namespace {

constexpr std::size_t kAnswerCapacity = 260;

std::uint32_t UndersizeThreshold(const ImageSlot& slot) {
  return static_cast<std::uint32_t>(static_cast<double>(slot.nominal_size_kb) * 0.2 * 1024);
}

}  // namespace

bool ConfirmImageSize(const ImageSlot& slot, std::uint8_t image_index, std::uint32_t file_size) {
  if (image_index != kBootLoaderImageIndex && image_index != kMainImageIndex) {
    return true;
  }
  if (file_size > UndersizeThreshold(slot)) {
    return true;
  }
  PrintWideF(L"You are attempting to update %hs with a file of size %d bytes.\r\n",
             slot.device_file, static_cast<int>(file_size));
  Console().WriteWide(L"Is this correct (Enter Y to confirm, any other key to abort)? ");
  std::array<char, kAnswerCapacity> answer{};
  // End of input or a failed read leaves an empty answer, which declines.
  ReadStdinLine(answer);
  return std::strcmp(answer.data(), "Y") == 0 || std::strcmp(answer.data(), "y") == 0;
}

}  // namespace hx
