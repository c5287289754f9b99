#pragma once
// The device's 13 image slots, indexed by image index.

#include <array>
#include <cstdint>

namespace hx {

struct ImageSlot {
  const char* device_file;
  const char* temporary_file;
  std::uint32_t nominal_size_kb;
};

inline constexpr std::array<ImageSlot, 13> ImageSlotTable = {{
    {"CPUEBOOT.BIN", "CPUEBOOT.TMP", 1024},
    {"NK.BIN", "NK.TMP", 40960},
    {"STITCHFILE.DAT", "STITCHFILE.TMP", 128},
    {"SPHERIXDATA.DAT", "SPHERIXDATA.TMP", 0},
    {"QVCONFIG.XML", "QVCONFIG.TMP", 256},
    {"SIG.CAT", "SIG.TMP", 16},
    {"NK.CAT", "NKCAT.TMP", 16},
    {"CPUEBOOT.CAT", "EBOOTCAT.TMP", 16},
    {"TEST.TXT", "TEST.TMP", 1024},
    {"FACTRCD.DAT", "FACTRCD.TMP", 128},
    {"PDBRLDR.HEX", "PDBRLDR.TMP", 1024},
    {"NK_DESC.XML", "NK_DESC.TMP", 16},
    {"EBOOT_DESC.XML", "EBOOT_DESC.TMP", 16},
}};

inline constexpr std::uint8_t kBootLoaderImageIndex = 0;
inline constexpr std::uint8_t kMainImageIndex = 1;
inline constexpr std::uint8_t kConfigImageIndex = 4;
inline constexpr std::uint8_t kSignatureImageIndex = 5;

/// Image transfer geometry: blocks of up to 85 data packets of 48 bytes.
inline constexpr std::uint32_t kPacketsPerBlock = 85;
inline constexpr std::uint32_t kDataPerPacket = 48;
inline constexpr std::uint32_t kBlockSize = kPacketsPerBlock * kDataPerPacket;  // 4080

/// BlockMarker values of the commit and flush packets.
inline constexpr std::uint8_t BLOCK_MARKER_LAST = 0xFE;
inline constexpr std::uint8_t BLOCK_MARKER_FLUSH = 0xFD;
inline constexpr std::uint16_t kFlushBlockNumber = 0xFFFF;

}  // namespace hx
