#!/usr/bin/env bash
# Makes the recordings of runs.txt afresh with HX7300_RECORD: every run, in order, against one
# hx7300-emulator served on a Unix-domain socket with a state directory of its own, the network
# update downloading from an HTTP server on 127.0.0.1:8631 that serves this folder. Each run's
# standard output is kept beside its recording; a run that ends with another status than the
# table gives stops the script. Uses the programs of the default preset, or of the build folder
# given:
#
#   cmake --preset default && cmake --build --preset default
#   tests/recordings/make-recordings.sh [build/default]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../../build/default}" && pwd)"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

"$build/hx7300-emulator" --listen "unix:$work/device.sock" --state-dir "$work/state" \
  >"$work/emulator.out" 2>&1 &
pids+=("$!")
python3 -m http.server --bind 127.0.0.1 --directory "$here" 8631 >"$work/http.out" 2>&1 &
pids+=("$!")
for _ in $(seq 100); do
  if [[ -S "$work/device.sock" ]] && grep -q "Serving HTTP" "$work/http.out"; then
    break
  fi
  sleep 0.1
done

cd "$here"
while read -r name status passcodes input args; do
  if [[ -z "$name" || "$name" == \#* ]]; then
    continue
  fi
  environment=(HX7300_DEVICE="unix:$work/device.sock" HX7300_RECORD="$name.jsonl"
               TZ=America/New_York)
  if [[ "$passcodes" != "-" ]]; then
    tr ',' '\n' <<<"$passcodes" >"$work/passcodes"
    chmod 600 "$work/passcodes"
    environment+=(HX7300_PASSCODE_FILE="$work/passcodes")
  fi
  stdin=/dev/null
  if [[ "$input" != "-" ]]; then
    printf '%s\n' "$input" >"$work/input"
    stdin="$work/input"
  fi
  got=0
  # shellcheck disable=SC2086  # each argument is a word of its own
  env -u HX7300_LOG -u HX7300_PASSCODE_FILE -u HX7300_TIMEOUT "${environment[@]}" \
    "$build/hx7300" $args <"$stdin" >"$name.stdout" || got=$?
  if [[ "$got" != "$status" ]]; then
    echo "make-recordings.sh: $name ended with status $got, not $status" >&2
    exit 1
  fi
  echo "$name: $(wc -l <"$name.jsonl") records"
done <runs.txt
