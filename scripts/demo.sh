#!/usr/bin/env bash
# Builds the release programs and reads the DAA settings of a virtual HX7300 served by
# hx7300-emulator over the virtual device link.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release

workdir=$(mktemp -d)
trap 'kill "${emulator_pid}" 2>/dev/null; wait "${emulator_pid}" 2>/dev/null; rm -rf "${workdir}"' EXIT
build/release/hx7300-emulator --listen "unix:${workdir}/hx7300.sock" >"${workdir}/emulator.log" &
emulator_pid=$!
for _ in $(seq 50); do
  grep -q listening "${workdir}/emulator.log" 2>/dev/null && break
  sleep 0.1
done
HX7300_DEVICE="unix:${workdir}/hx7300.sock" build/release/hx7300 -m:daa -r
