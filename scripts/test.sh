#!/usr/bin/env bash
# Builds hx7300 and passes every test: the formatting check, the whole suite under
# AddressSanitizer + UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, the
# whole suite in the default debug build (which also boots the QEMU guest, CTest label "guest",
# that runs the utility against the real uvcvideo driver, fetching Debian's kernel package on
# its first run), then the Windows build (the windows preset, cross compiled): its own test
# programs under Wine, and its programs under Wine against the Linux build; and last the Debian
# package and the Windows zip, built and checked.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh
for preset in asan tsan default windows; do
  echo "=== ${preset} ==="
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
  ctest --preset "${preset}"
done
echo "=== wine ==="
ctest --preset wine
echo "=== packages ==="
scripts/package.sh
scripts/check-packages.sh
