// A build without an HTTP client: the device cannot update from the network.
#include "http/http_client.h"

namespace hx::emu {

std::unique_ptr<HttpFetcher> MakeHttpClient() {
  return nullptr;
}

}  // namespace hx::emu
