// A build without an HTTP client: the device cannot update from the network.
#include "model/http_fetch.h"

namespace hx::emu {

std::unique_ptr<HttpFetcher> MakeHttpFetcher() {
  return nullptr;
}

}  // namespace hx::emu
