#include "model/update_manifest.h"

#include <algorithm>
#include <cctype>

#include "model/option_values.h"
#include "protocol/image_slots.h"

namespace hx::emu {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

std::optional<std::uint8_t> SlotOf(std::string_view device_file) {
  for (std::size_t i = 0; i < ImageSlotTable.size(); ++i) {
    if (SameIgnoringCase(device_file, ImageSlotTable[i].device_file)) {
      return static_cast<std::uint8_t>(i);
    }
  }
  return std::nullopt;
}

bool HasControl(std::string_view text) {
  return std::ranges::any_of(text, [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

std::optional<ManifestEntry> ParseLine(std::string_view line) {
  const std::size_t blank = line.find_first_of(kBlanks);
  if (blank == std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<std::uint8_t> slot = SlotOf(line.substr(0, blank));
  const std::string_view path = Trim(line.substr(blank));
  if (!slot || path.empty() || HasControl(path) || path.find("://") != std::string_view::npos) {
    return std::nullopt;
  }
  return ManifestEntry{*slot, std::string(path)};
}

// Appends text to url, percent-encoding what a URL cannot carry as it is.
void AppendEncoded(std::string& url, std::string_view text) {
  constexpr std::string_view kUnsafe = " \"<>\\^`{|}";
  constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F || kUnsafe.find(c) != std::string_view::npos) {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0x0F];
    } else {
      url += c;
    }
  }
}

bool IsHostCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return std::isalnum(byte) != 0 || std::string_view("-._~[]:").find(c) != std::string_view::npos;
}

}  // namespace

std::optional<std::vector<ManifestEntry>> ParseManifest(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::vector<ManifestEntry> entries;
  for (std::string_view line : Split(text, '\n')) {
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    line = Trim(line);
    if (line.empty() || line.starts_with('#')) {
      continue;
    }
    std::optional<ManifestEntry> entry = ParseLine(line);
    if (!entry || std::ranges::any_of(entries, [&](const ManifestEntry& listed) {
          return listed.slot == entry->slot;
        })) {
      return std::nullopt;
    }
    entries.push_back(std::move(*entry));
  }
  if (entries.empty()) {
    return std::nullopt;
  }
  return entries;
}

std::optional<std::string> ManifestUrl(std::string_view server, std::uint16_t port,
                                       std::string_view url) {
  if (server.empty() || port == 0 || !std::ranges::all_of(server, IsHostCharacter)) {
    return std::nullopt;
  }
  std::string manifest = "http://" + std::string(server) + ":" + std::to_string(port) + "/";
  if (url.starts_with('/')) {
    url.remove_prefix(1);
  }
  AppendEncoded(manifest, url);
  return manifest;
}

std::string ImageUrl(std::string_view manifest_url, std::string_view path) {
  // The origin ends before the first '/' after "http://"; the directory after the last '/'
  // before any query or fragment.
  const std::size_t origin_end = manifest_url.find('/', manifest_url.find("://") + 3);
  const std::string_view without_query =
      manifest_url.substr(0, manifest_url.find_first_of("?#", origin_end));
  std::string url(path.starts_with('/') ? manifest_url.substr(0, origin_end)
                                        : without_query.substr(0, without_query.rfind('/') + 1));
  AppendEncoded(url, path);
  return url;
}

}  // namespace hx::emu
