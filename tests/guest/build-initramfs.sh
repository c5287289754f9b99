#!/usr/bin/env bash
# Builds the test guest's initramfs: busybox, the kernel modules the guest loads (with every
# module they depend on), the given programs with the shared libraries they need, the given
# data files and udev rules, and the init script.
#
#   build-initramfs.sh KERNEL_DIR OUTPUT INIT --program FILE... --data FILE... --rules FILE...
set -euo pipefail

kernel_dir="$1"
output="$2"
init="$3"
shift 3

modules=(virtio_pci virtio_net usbip-core vhci-hcd uvcvideo)
# Loaded by init once the HX7300s are attached, so that their node numbers stay put: a video
# node of another driver (vivid's capture node alone), which the HX7300's rule must pass over.
later_modules=(vivid)
declare -A module_options=([vivid]="node_types=0x1")
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
# Writes the modules added since the last list, each with its options, to the list named.
write_load_order() {
  local file name
  for file in "${load_order[@]}"; do
    cp "$file" "$root/lib/modules/"
    name="$(basename "$file" .ko)"
    echo "$name.ko ${module_options[${name//-/_}]:-}" >>"$root/lib/modules/$1"
  done
  load_order=()
}
for module in "${modules[@]}"; do
  add_module "$module"
done
write_load_order load-order
for module in "${later_modules[@]}"; do
  add_module "$module"
done
write_load_order load-later

# A program that is a link to another keeps its name as a link, since some programs tell by
# the name they are run under what to be (systemd-udevd is udevadm).
copy_with_libraries() {
  local program file
  program="$(basename "$1")"
  file="$(readlink -f "$1")"
  strip -o "$root/bin/$(basename "$file")" "$file"
  [ "$program" = "$(basename "$file")" ] || ln -sf "$(basename "$file")" "$root/bin/$program"
  ldd "$file" | grep -o '/[^ ]*' | while IFS= read -r library; do
    mkdir -p "$root$(dirname "$library")"
    [ -e "$root$library" ] || cp -L "$library" "$root$library"
  done
}
mode=""
for argument in "$@"; do
  case "$argument" in
    --program | --data | --rules) mode="$argument" ;;
    *)
      case "$mode" in
        --program) copy_with_libraries "$argument" ;;
        --data) cp "$argument" "$root/data/" ;;
        --rules)
          mkdir -p "$root/usr/lib/udev/rules.d"
          cp "$argument" "$root/usr/lib/udev/rules.d/"
          ;;
        *) echo "build-initramfs.sh: $argument: say --program, --data or --rules first" >&2; exit 2 ;;
      esac
      ;;
  esac
done

cp "$init" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$output"
