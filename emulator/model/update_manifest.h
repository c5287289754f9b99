#pragma once
// The plain-text manifest a network update starts from, and the URLs the device fetches.
//
// A manifest lists one image a line: the device file of its slot (as in the slot table, in any
// letter case), blanks, and the image's path relative to the manifest. Empty lines and lines
// that begin with '#' are passed over; lines may end in "\r\n".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hx::emu {

struct ManifestEntry {
  std::uint8_t slot;  ///< index into ImageSlotTable
  std::string path;   ///< as the manifest gives it
};

/// The images a manifest lists, in its order; nullopt when a line is malformed (no path, a
/// device file that is not in the slot table, a slot named twice, a path that is a URL of its
/// own or holds a control character), when it holds a zero byte, or when it lists no image.
std::optional<std::vector<ManifestEntry>> ParseManifest(std::string_view text);

/// "http://SERVER:PORT/URL", with a leading '/' of the URL dropped and the characters a URL
/// cannot carry as they are (blanks, controls, bytes above 0x7F, and "\"<>\\^`{|}")
/// percent-encoded. nullopt when the server is empty or holds a character a host name
/// cannot, or the port is 0.
std::optional<std::string> ManifestUrl(std::string_view server, std::uint16_t port,
                                       std::string_view url);

/// The URL of an image path read from the manifest at manifest_url: a path that begins with
/// '/' is taken from the server's root, any other from the manifest's directory.
std::string ImageUrl(std::string_view manifest_url, std::string_view path);

}  // namespace hx::emu
