#pragma once
// The HTTP client that hx7300-emulator's device downloads its updates with: libcurl on Linux,
// the system's own on Windows.

#include <memory>

#include "model/http_fetch.h"

namespace hx::emu {

/// A client for one update; null where none can be made.
std::unique_ptr<HttpFetcher> MakeHttpClient();

}  // namespace hx::emu
