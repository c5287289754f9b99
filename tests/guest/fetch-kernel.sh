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
  if ! (cd "$download" && apt-get download -q "${GUEST_KERNEL_PACKAGE}=${GUEST_KERNEL_VERSION}" >&2); then
    echo "fetch-kernel.sh: ${GUEST_KERNEL_PACKAGE} ${GUEST_KERNEL_VERSION} is not in the archive" \
      "any more; name the current one ('apt-cache depends linux-image-amd64'," \
      "'apt-cache policy <package>') in tests/guest/guest-kernel.env" >&2
    exit 1
  fi
  # Only the kernel and the driver trees that hold the modules the guest loads.
  dpkg-deb --fsys-tarfile "$download"/*.deb |
    tar -x -C "$target" --wildcards './boot/vmlinuz-*' './lib/modules/*/kernel/drivers/usb/*' \
      './lib/modules/*/kernel/drivers/media/*' './lib/modules/*/kernel/drivers/virtio/*' \
      './lib/modules/*/kernel/drivers/net/*' './lib/modules/*/kernel/net/core/*'
  touch "$target/.complete"
fi
echo "$target"
