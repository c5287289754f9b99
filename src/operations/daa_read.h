#pragma once

#include "platform/hresult.h"
#include "protocol/daa_settings.h"

namespace hx {

/// Prints the settings block, or only the checksum line when the checksum does not match.
/// Returns S_OK, or 0x80070017 for a checksum mismatch.
HRESULT PrintDaaSettings(const DaaSettings& settings);

}  // namespace hx
