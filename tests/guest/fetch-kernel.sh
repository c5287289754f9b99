#!/usr/bin/env bash
# Downloads the guest kernel package once (apt-get download, no installation) and unpacks the
# kernel image and the module trees the guest needs into a cache. Prints the unpacked
# directory.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=guest-kernel.env
. "$here/guest-kernel.env"

cache="${HX7300_GUEST_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/hx7300-guest}"
target="$cache/${GUEST_KERNEL_PACKAGE}_${GUEST_KERNEL_VERSION}"
if [ ! -f "$target/.complete" ]; then
  rm -rf "$target"
  mkdir -p "$target"
  download="$(mktemp -d)"
  trap 'rm -rf "$download"' EXIT
  fetch() { (cd "$download" && apt-get download -q "$@" >&2); }
  # A fresh machine may not have read the archive's index yet.
  if ! fetch "${GUEST_KERNEL_PACKAGE}=${GUEST_KERNEL_VERSION}"; then
    apt-get update -q >&2 || true
    if ! fetch "${GUEST_KERNEL_PACKAGE}=${GUEST_KERNEL_VERSION}"; then
      # Debian drops superseded kernels from its archive; the current one of the same series
      # carries the same drivers, so the test goes on with it and says so.
      current="$(apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/.*Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n 1)"
      echo "fetch-kernel.sh: ${GUEST_KERNEL_PACKAGE} ${GUEST_KERNEL_VERSION} is not in the" \
        "archive any more; using ${current:-nothing}. Name the current one" \
        "('apt-cache depends linux-image-amd64') in tests/guest/guest-kernel.env." >&2
      [ -n "$current" ] && fetch "$current" || exit 1
    fi
  fi
  # Only the kernel and the driver trees that hold the modules the guest loads.
  dpkg-deb --fsys-tarfile "$download"/*.deb |
    tar -x -C "$target" --wildcards './boot/vmlinuz-*' './lib/modules/*/kernel/drivers/usb/*' \
      './lib/modules/*/kernel/drivers/media/*' './lib/modules/*/kernel/drivers/virtio/*' \
      './lib/modules/*/kernel/drivers/net/*' './lib/modules/*/kernel/net/core/*'
  touch "$target/.complete"
fi
echo "$target"
