#pragma once
// A device message, as the operator sees it.

#include "protocol/xu_packet.h"

namespace hx {

/// Prints one device message: the E:F:S and coded forms with the system's text for their code,
/// on the console and the debugger output; the plain form on the console only. A packet that
/// carries no message prints nothing.
void ReportDeviceMessage(const XuPacket& packet);

}  // namespace hx
