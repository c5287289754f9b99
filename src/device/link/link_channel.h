#pragma once
// The virtual device link's client, with its time limits open to tests.

#include <chrono>
#include <memory>

#include "device/backends.h"

namespace hx {

/// How long the link waits for a server that has stopped answering.
struct LinkTimeouts {
  std::chrono::milliseconds hello{5000};    ///< for the HELLO after connecting
  std::chrono::milliseconds reply{5000};    ///< for a request's done frame
  std::chrono::milliseconds connect{5000};  ///< for the server to take the connection
};

/// MakeLinkChannel with the given time limits.
std::unique_ptr<XuChannel> MakeLinkChannel(const LinkAddress& address, LinkTimeouts timeouts);

}  // namespace hx
