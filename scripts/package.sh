#!/usr/bin/env bash
# Builds what an admin installs: the Debian package from the release preset and the Windows zip
# from the windows preset, and says where they are.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in release windows; do
  cmake --preset "${preset}" >/dev/null
  cmake --build --preset "${preset}"
done
(cd build/release && cpack -G DEB)
(cd build/windows && cpack -G ZIP)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
echo "Debian package: build/release/hx7300_${version}_amd64.deb"
echo "Windows zip:    build/windows/hx7300-${version}-win64.zip"
