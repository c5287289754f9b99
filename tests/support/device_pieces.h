#pragma once
// The pieces that hx7300-emulator hands its device, for tests of what needs them (the network
// update, the configuration's parse result).

#include "http/http_client.h"
#include "model/firmware_model.h"
#include "xml/xml_parser.h"

namespace hx::test {

/// This build's HTTP client and XML parser.
inline emu::FirmwarePieces EmulatorPieces() {
  return {emu::MakeHttpClient, emu::MakeXmlParser};
}

}  // namespace hx::test
