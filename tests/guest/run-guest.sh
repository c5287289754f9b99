#!/usr/bin/env bash
# Boots Debian's own kernel in QEMU with two virtual HX7300s that hx7300-emulator exports over
# USB/IP (the second stops answering after its first transfer), and runs the Linux utility
# inside against the real uvcvideo driver, with Debian's udevd applying the package's rule.
#
#   run-guest.sh BUILD_DIR test    the guest test program, then the image slots the emulator
#                                  stored are compared with the files the guest uploaded
#   run-guest.sh BUILD_DIR bench   the upload benchmark through the real driver
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
mode="${2:-test}"
started=$SECONDS

work="$(mktemp -d "${TMPDIR:-/tmp}/hx7300-guest.XXXXXX")"
servers=()
cleanup() {
  for pid in "${servers[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

kernel_dir="$("$here/fetch-kernel.sh")"

# Starts an emulator on a port the system chooses and sets $port to it.
start_emulator() {
  local log="$work/$1.log"
  shift
  # The log exists before the first look at it: the program's redirection may come later.
  : >"$log"
  "$build/hx7300-emulator" --listen usbip:127.0.0.1:0 "$@" >"$log" 2>&1 &
  servers+=($!)
  for _ in $(seq 200); do
    port="$(sed -n 's/^hx7300-emulator listening on usbip:127\.0\.0\.1:\([0-9]*\)$/\1/p' "$log")"
    [ -n "$port" ] && return
    sleep 0.05
  done
  echo "run-guest.sh: hx7300-emulator did not start:" >&2
  cat "$log" >&2
  exit 1
}

mkdir -p "$work/slots" "$work/data"
start_emulator healthy --state-dir "$work/slots"
healthy_port="$port"
start_emulator silent --fault silent-after=0
silent_port="$port"

head -c 3000 /dev/urandom >"$work/data/config.xml"
head -c 30000 /dev/urandom >"$work/data/nk.bin"
head -c 700 /dev/urandom >"$work/data/nk.cat"
# The network update downloads nk.bin and nk.cat from an HTTP server on the host, as the
# device would from the room's image server; the slots compared below must hold them whole.
mkdir -p "$work/www"
cp "$work/data/nk.bin" "$work/data/nk.cat" "$work/www/"
printf 'NK.BIN nk.bin\nSIG.CAT nk.cat\n' >"$work/www/manifest.txt"
: >"$work/http.log"
python3 -u -m http.server --bind 127.0.0.1 --directory "$work/www" 0 >"$work/http.log" 2>&1 &
servers+=($!)
http_port=""
for _ in $(seq 200); do
  http_port="$(sed -n 's/^Serving HTTP on 127\.0\.0\.1 port \([0-9]*\) .*/\1/p' "$work/http.log")"
  [ -n "$http_port" ] && break
  sleep 0.05
done
if [ -z "$http_port" ]; then
  echo "run-guest.sh: the HTTP server did not start:" >&2
  cat "$work/http.log" >&2
  exit 1
fi

programs=("$build/hx7300" "$build/guest/usbip_attach")
rules=()
case "$mode" in
  test)
    # Debian's udevd, to see the package's rule tag the nodes as it would on a desktop.
    udevd=/usr/lib/systemd/systemd-udevd
    if [ ! -x "$udevd" ] || ! command -v udevadm >/dev/null; then
      echo "run-guest.sh: $udevd or udevadm is missing: install the package udev" \
        "(scripts/install-deps.sh)" >&2
      exit 1
    fi
    programs+=("$build/guest/hx7300_guest_tests" "$udevd" "$(command -v udevadm)")
    rules+=(--rules "$here/../../packaging/70-hx7300.rules")
    ;;
  bench) programs+=("$build/device_upload_bench") ;;
  *) echo "run-guest.sh: say test or bench" >&2; exit 2 ;;
esac
"$here/build-initramfs.sh" "$kernel_dir" "$work/initramfs.cpio" "$here/init" \
  --program "${programs[@]}" --data "$work"/data/* "${rules[@]}"

set +e
timeout 170 qemu-system-x86_64 -accel tcg -m 512 -smp 1 -no-reboot \
  -display none -monitor none -serial stdio \
  -kernel "$(echo "$kernel_dir"/boot/vmlinuz-*)" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 quiet panic=-1 hx7300.ports=$healthy_port,$silent_port hx7300.http=$http_port hx7300.run=$mode" \
  -netdev user,id=net0 -device virtio-net-pci,netdev=net0 </dev/null | tee "$work/guest.log"
set -e

guest_status="$(sed -n 's/^HX7300-GUEST-EXIT \([0-9]*\).*/\1/p' "$work/guest.log" | tail -n1)"
echo "run-guest.sh: guest ended with status ${guest_status:-none} after $((SECONDS - started)) s"
if [ "$guest_status" != 0 ]; then
  for log in "$work"/healthy.log "$work"/silent.log; do
    echo "--- $(basename "$log")"
    cat "$log"
  done
  exit 1
fi
[ "$mode" = test ] || exit 0

# What the guest uploaded must have arrived byte for byte.
failed=0
for pair in QVCONFIG.XML:config.xml NK.BIN:nk.bin SIG.CAT:nk.cat; do
  slot="${pair%%:*}"
  file="${pair#*:}"
  if ! cmp "$work/slots/$slot" "$work/data/$file"; then
    echo "run-guest.sh: slot $slot differs from $file" >&2
    failed=1
  fi
done
exit "$failed"
