#pragma once

#include <cstdint>

#include "protocol/image_slots.h"

namespace hx {

/// For the boot loader and the main image, a file of at most a fifth of the slot's nominal
/// size is most likely the wrong file: the operator must confirm it with "Y". Other slots are
/// never asked about. Returns whether the transfer may go on.
bool ConfirmImageSize(const ImageSlot& slot, std::uint8_t image_index, std::uint32_t file_size);

}  // namespace hx
