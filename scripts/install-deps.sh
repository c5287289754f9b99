#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is missing.
set -euo pipefail

# ICU for the PC's time zone and expat for the virtual device's configuration check; libcurl
# for the virtual device's network update, and Python's HTTP server for its tests. The
# Windows build: Debian's mingw-w64 cross compiler (POSIX threads) and Wine to test it.
# qemu-system-x86, busybox-static and cpio boot the test guest that runs the utility against the
# real uvcvideo driver; its kernel package is fetched by tests/guest/fetch-kernel.sh, and udev's
# udevd runs in that guest to apply the package's device-access rule. ansible-core runs the
# fleet playbook of deploy/ansible. The packages: scdoc builds the manual pages and man-db reads
# them back; CPack's Debian package takes its dependencies from dpkg-shlibdeps (dpkg-dev, file),
# and lintian checks it.
packages=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev clang-format libicu-dev
          nlohmann-json3-dev python3-jsonschema
          libexpat1-dev libcurl4-openssl-dev python3 g++-mingw-w64-x86-64-posix wine wine64
          qemu-system-x86 busybox-static cpio udev ansible-core
          scdoc man-db dpkg-dev file lintian)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
run_as_root=()
[ "$(id -u)" -ne 0 ] && run_as_root=(sudo)
"${run_as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${run_as_root[@]}" apt-get install -y -q "${missing[@]}"
