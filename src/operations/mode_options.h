#pragma once
// The one record of the selected mode and its parsed flags. The entry zeroes it whole before
// parsing; the command line's parsers fill it; the handlers read it.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/hresult.h"

namespace hx {

inline constexpr std::int32_t kModeNone = -1;
inline constexpr std::int32_t kModeImage = 1;
inline constexpr std::int32_t kModeDiag = 2;
inline constexpr std::int32_t kModeNetImage = 5;
inline constexpr std::int32_t kModeConfig = 6;
inline constexpr std::int32_t kModeConfigReboot = 7;
inline constexpr std::int32_t kModeConfigPasscode = 8;
inline constexpr std::int32_t kModeConfigRebootVariant = 9;
inline constexpr std::int32_t kModeDaa = 12;

/// The cfg parser leaves 6 to 9; the dispatch sends every code from 6 to 10 to the cfg handler.
constexpr bool IsConfigMode(std::int32_t mode_code) {
  return mode_code >= kModeConfig && mode_code <= 10;
}

/// The configuration actions of ModeCode 6 (CfgCommand).
inline constexpr std::int32_t kCfgSetTime = 1;
inline constexpr std::int32_t kCfgParseResult = 3;
inline constexpr std::int32_t kCfgUploadFile = 4;

inline constexpr std::size_t kUploadFileNameCapacity = 40;

struct ImageOptions {
  std::int32_t ImageIndex = 0;  ///< 1 nk, 0 eboot/cpueboot, 4 config/qvconfig; -1 until given
  const wchar_t* ImageFile = nullptr;      ///< refers into the argument vector
  const wchar_t* SignatureFile = nullptr;  ///< refers into the argument vector
};

/// True when the image needs its signature file sent first: the boot loader (0) and the main
/// image (1).
constexpr bool ImageNeedsSignature(const ImageOptions& image) {
  return image.ImageIndex == 0 || image.ImageIndex == 1;
}

struct DiagOptions {
  std::uint8_t DiagOpcode = 0;  ///< 12 once "-l" is given
  std::uint8_t FlushLog = 0;    ///< 1 when the last "-l" carried "flush"
};

struct NetImageOptions {
  std::optional<std::string> ServerName;  ///< 8-bit, system ANSI code page
  std::uint16_t ServerPort = 0;           ///< 80 unless "-p:" is given
  std::optional<std::string> UpdateUrl;   ///< 8-bit, system ANSI code page
};

struct ConfigOptions {
  std::int32_t CfgCommand = 0;  ///< 1 set time, 3 parse result, 4 upload file
  std::int32_t CfgIndex = 0;    ///< zone index for action 1; -1 for action 4
  SYSTEMTIME UtcTime{};
  SYSTEMTIME LocalTime{};
  wchar_t UploadFileName[kUploadFileNameCapacity] = {};  ///< at most 39 characters
};

struct DaaOptions {
  std::uint8_t DaaRequest = 0;  ///< 0xFF until "-r", then 1
};

struct ModeOptions {
  std::int32_t ModeCode = 0;
  ImageOptions Image;
  DiagOptions Diag;
  NetImageOptions NetImage;
  ConfigOptions Config;
  DaaOptions Daa;
};

}  // namespace hx
