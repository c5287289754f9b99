#pragma once
// The steps of a network image update on XU_OPCODE_IMGUPD_NET_INFO: the step codes the host
// sends in its requests, and the stage codes the device reports in its replies.

#include <cstddef>
#include <cstdint>

namespace hx {

// Request steps, in the order the host sends them.
inline constexpr std::uint16_t NETIMG_STEP_SERVER = 1;
inline constexpr std::uint16_t NETIMG_STEP_URL = 2;
inline constexpr std::uint16_t NETIMG_STEP_PORT = 3;
inline constexpr std::uint16_t NETIMG_STEP_START = 253;
inline constexpr std::uint16_t NETIMG_STEP_FINAL = 255;

/// Length of every step request.
inline constexpr std::uint8_t kNetImageRequestLength = 48;
/// The most characters of a server name or URL that a step request carries: its text field
/// holds 36 bytes, the last a zero byte.
inline constexpr std::size_t kNetImageMaxTextLength = 35;

// Stages the device reports after the start step, in the order it reaches them. Replies to
// the first three requests carry the request's own step code.
inline constexpr std::uint8_t NETIMG_STAGE_INITIALIZING = 255;
inline constexpr std::uint8_t NETIMG_STAGE_STARTING = 4;
inline constexpr std::uint8_t NETIMG_STAGE_BUILDING_MANIFEST = 5;
inline constexpr std::uint8_t NETIMG_STAGE_SENDING_REQUEST = 6;
inline constexpr std::uint8_t NETIMG_STAGE_RECEIVING_MANIFEST = 7;
inline constexpr std::uint8_t NETIMG_STAGE_GETTING_IMAGES = 8;
inline constexpr std::uint8_t NETIMG_STAGE_DOWNLOAD_PROGRESS = 9;
inline constexpr std::uint8_t NETIMG_STAGE_NAND_WRITE = 10;
inline constexpr std::uint8_t NETIMG_STAGE_PREPARING_VALIDATION = 11;
inline constexpr std::uint8_t NETIMG_STAGE_VALIDATION = 12;
inline constexpr std::uint8_t NETIMG_STAGE_POST_DOWNLOAD = 13;
inline constexpr std::uint8_t NETIMG_STAGE_FLASHING = 14;
inline constexpr std::uint8_t NETIMG_STAGE_SUCCEEDED = 254;

/// A StepCount above this fails the step.
inline constexpr std::uint16_t kNetImageMaxStepCount = 200;

}  // namespace hx
