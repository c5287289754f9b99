#pragma once
// The textual forms of a virtual HX7300's settings and faults, as hx7300-emulator takes them
// on its command line. Numbers are decimal or 0x-prefixed hexadecimal.

#include <string>
#include <string_view>

#include "model/firmware_options.h"

namespace hx::emu {

/// Applies "key=value[,key=value...]" to the DAA values. Keys: group, record3, gcr,
/// ictrl1-voice, ictrl2-voice, ictrl3-voice, ictrl1-dtmf, ictrl2-dtmf, ictrl3-dtmf, lvcs,
/// low-mag, high-mag. False with error set when a key or value is refused.
bool ApplyDaaText(std::string_view text, DaaValues& values, std::string& error);

/// Adds one "NAME[=VALUE]" fault to plan (names in FaultHelpText). False with error set when
/// the name or value is refused.
bool ApplyFaultText(std::string_view text, FaultPlan& plan, std::string& error);

/// One line per fault name, for --help.
std::string_view FaultHelpText();

}  // namespace hx::emu
