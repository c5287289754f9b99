#pragma once
// Termination requests (Ctrl+C, a termination signal) for a program that serves until told to
// stop. The program polls StopRequested between waits.

#include "platform/hresult.h"

namespace hx {

/// Routes interrupt and termination requests to StopRequested instead of ending the process.
HRESULT InstallStopSignal();
/// True once an interrupt or termination request has come.
bool StopRequested();

}  // namespace hx
