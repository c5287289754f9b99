#pragma once
// The per-mode option parsers. Each is given the whole argument vector (its size is the
// argument count; element 0 is the program name, element 1 the mode argument) and reads the
// tokens from element 2 on into its variant of the record. A parser prints nothing: it returns
// S_OK when it accepts, E_INVALIDARG when it refuses (also when ModeCode is not its own mode),
// and the cfg parser may return the failure of the time resolution for "-t:". Every refusal of
// a command line notes its reason in the refusal. After a refusal the record may be partly
// filled; nothing reads it then.

#include <cstdint>
#include <optional>
#include <span>

#include "app/command_line_refusal.h"
#include "operations/mode_options.h"
#include "platform/hresult.h"

namespace hx {

using ArgumentVector = std::span<const wchar_t* const>;

/// img: "-i:<index>", "-f:<file>", "-s:<catfile>" and an ignored "-r...". The file names refer
/// into the argument vector, which must outlive the record.
HRESULT ParseImageOptions(ArgumentVector arguments, ModeOptions& options,
                          CommandLineRefusal& refusal);
/// diag: one or more "-l" or "-l:flush" tokens; the last decides FlushLog.
HRESULT ParseDiagOptions(ArgumentVector arguments, ModeOptions& options,
                         CommandLineRefusal& refusal);
/// netimg: "-s:<server>", "-u:<URL>" (both required, converted to the ANSI code page, each at
/// most 35 characters, as the device's text field holds) and "-p:<port>" (1 to 65535, default
/// 80).
HRESULT ParseNetImageOptions(ArgumentVector arguments, ModeOptions& options,
                             CommandLineRefusal& refusal);
/// cfg: one action: "-t:<time>", "-q:cfgparseresult", "-f:<file>"; "-r", "-rm" and "-p"
/// change ModeCode (7, 9, 8) and accept at once without looking at later tokens.
HRESULT ParseConfigOptions(ArgumentVector arguments, ModeOptions& options,
                           CommandLineRefusal& refusal);
/// daa: exactly one token beginning with "-r".
HRESULT ParseDaaOptions(ArgumentVector arguments, ModeOptions& options,
                        CommandLineRefusal& refusal);

/// A number as the port flag takes it: decimal of at most 9 digits, or hexadecimal of at most
/// 8 digits behind "0x" or "x" (lower-case x only), accumulated unsigned and returned as a
/// signed 32-bit value (so "0xFFFFFFFF" gives -1). No sign, no blanks. Nothing on failure.
std::optional<std::int32_t> ParseNumber(const wchar_t* text);

}  // namespace hx
