#!/usr/bin/env bash
# Builds the test guest's initramfs: busybox, the kernel modules the guest loads (with every
# module they depend on), the given programs with the shared libraries they need, the given
# data files and the init script.
#
#   build-initramfs.sh KERNEL_DIR OUTPUT INIT --program FILE... --data FILE...
set -euo pipefail

kernel_dir="$1"
output="$2"
init="$3"
shift 3

modules=(virtio_pci virtio_net usbip-core vhci-hcd uvcvideo)
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
mkdir -p "$root"/{bin,sbin,dev,proc,sys,tmp,data,lib/modules,lib64}

# The init script installs the other applets; the shell is needed to run it.
cp /bin/busybox "$root/bin/busybox"
ln -s busybox "$root/bin/sh"

# Module dependencies come from each module's own "depends=" entry: the package ships no
# modules.dep, and depmod may not be installed.
module_tree="$(echo "$kernel_dir"/lib/modules/*/kernel)"
declare -A module_path=()
while IFS= read -r file; do
  name="${file##*/}"
  name="${name%.ko}"
  module_path["${name//-/_}"]="$file"
done < <(find "$module_tree" -name '*.ko')
declare -A loaded=()
load_order=()
add_module() {
  local key="${1//-/_}"
  [ -n "${loaded[$key]:-}" ] && return
  local file="${module_path[$key]:-}"
  if [ -z "$file" ]; then
    echo "build-initramfs.sh: module $1 not found in $module_tree" >&2
    exit 1
  fi
  loaded[$key]=1
  local depends
  depends="$(tr '\0' '\n' <"$file" | sed -n 's/^depends=//p' | head -n1)"
  local dependency
  for dependency in ${depends//,/ }; do
    add_module "$dependency"
  done
  load_order+=("$file")
}
for module in "${modules[@]}"; do
  add_module "$module"
done
for file in "${load_order[@]}"; do
  cp "$file" "$root/lib/modules/"
  basename "$file" >>"$root/lib/modules/load-order"
done

copy_with_libraries() {
  local program="$1"
  strip -o "$root/bin/$(basename "$program")" "$program"
  ldd "$program" | grep -o '/[^ ]*' | while IFS= read -r library; do
    mkdir -p "$root$(dirname "$library")"
    [ -e "$root$library" ] || cp -L "$library" "$root$library"
  done
}
mode=""
for argument in "$@"; do
  case "$argument" in
    --program | --data) mode="$argument" ;;
    *)
      case "$mode" in
        --program) copy_with_libraries "$argument" ;;
        --data) cp "$argument" "$root/data/" ;;
        *) echo "build-initramfs.sh: $argument: say --program or --data first" >&2; exit 2 ;;
      esac
      ;;
  esac
done

cp "$init" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$output"
