#!/usr/bin/env bash
# Checks the packages that scripts/package.sh built: lintian passes the Debian package, which
# installs into a scratch root where the utility and its manual page work; the Windows zip holds
# the two programs and a CRLF README.txt, and the utility runs under Wine from where it was
# unpacked.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
deb="build/release/hx7300_${version}_amd64.deb"
zip="build/windows/hx7300-${version}-win64.zip"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "check-packages.sh: $*" >&2
  exit 1
}

echo "--- lintian $deb"
# Informational tags are shown too; an error or a warning fails the check.
status=0
report=$(lintian --display-info --fail-on error,warning "$deb" 2>&1) || status=$?
grep -v 'running with root privileges' <<<"$report" || true
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings"
dpkg-deb --field "$deb" Depends | grep -q 'libicu' || fail "Depends does not name ICU"

root="$scratch/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The scratch root has none of the libraries the package depends on; the host's serve. A minimal
# system's dpkg may be told to leave out manual pages and documents: these are what is checked.
dpkg --root="$root" --force-not-root --force-depends --log=/dev/null \
  --path-include='/usr/share/man/man1/hx7300*' --path-include='/usr/share/doc/hx7300/*' \
  -i "$deb" >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; fail "dpkg -i into a scratch root"; }
for file in usr/bin/hx7300 usr/bin/hx7300-emulator usr/lib/udev/rules.d/70-hx7300.rules \
  usr/share/man/man1/hx7300.1.gz usr/share/man/man1/hx7300-emulator.1.gz \
  usr/share/doc/hx7300/README.md usr/share/doc/hx7300/copyright; do
  [ -f "$root/$file" ] || fail "the package did not install /$file"
done
# Each program's whole output is taken before it is searched: grep -q would end the pipe early.
usage=$("$root/usr/bin/hx7300" -m:daa -help) || fail "hx7300 -m:daa -help failed"
grep -q 'DAA Read Usage' <<<"$usage" || fail "hx7300 -m:daa -help printed no usage"
[ "$("$root/usr/bin/hx7300-emulator" --version)" = "hx7300-emulator $version" ] ||
  fail "hx7300-emulator --version"
page=$(MANPATH="$root/usr/share/man" MANWIDTH=80 man -P cat hx7300) || fail "man hx7300 failed"
grep -q 'HX7300_PASSCODE_FILE' <<<"$page" || fail "man hx7300 is not the package's page"
echo "installed into a scratch root: hx7300 -m:daa -help, man hx7300 and the udev rule are there"

echo
echo "--- $zip"
python3 -m zipfile -e "$zip" "$scratch/zip"
unpacked="$scratch/zip/hx7300-${version}-win64"
for file in hx7300.exe hx7300-emulator.exe README.txt; do
  [ -f "$unpacked/$file" ] || fail "the zip has no $file"
done
if grep -q $'[^\r]$\|^$' "$unpacked/README.txt"; then
  fail "README.txt has a line that does not end in CRLF"
fi
build/windows/wine-run --ensure-prefix >/dev/null 2>&1
usage=$(build/windows/wine-run "$unpacked/hx7300.exe" -m:daa -help) ||
  fail "hx7300.exe -m:daa -help failed under Wine"
grep -q 'DAA Read Usage' <<<"$usage" || fail "hx7300.exe -m:daa -help printed no usage"
echo "unpacked: hx7300.exe -m:daa -help runs under Wine, README.txt has CRLF line ends"
