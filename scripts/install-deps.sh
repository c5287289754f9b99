#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is missing.
set -euo pipefail

# The Windows build: Debian's mingw-w64 cross compiler (POSIX threads) and Wine to test it.
# The virtual HX7300's network update: libcurl, and Python's HTTP server for its tests.
packages=(cmake ninja-build g++ googletest libgtest-dev libgmock-dev clang-format
          g++-mingw-w64-x86-64-posix wine wine64 libcurl4-openssl-dev python3)
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
