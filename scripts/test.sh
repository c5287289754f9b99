#!/usr/bin/env bash
# Builds hx7300 and passes every test: the formatting check, the whole suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer,
# and the whole suite in the default debug build, whose CTest summary ends the output. Only the
# debug build boots the QEMU guest (CTest label "guest") that runs the utility against the
# real uvcvideo driver; it fetches Debian's kernel package on its first run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh
for preset in asan tsan default; do
  echo "=== ${preset} ==="
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  ctest --preset "${preset}"
done
