#!/usr/bin/env bash
# Checks the built manual pages: man reads each without a warning, hx7300(1) names every
# environment variable the utility reads, and hx7300-emulator(1) every option its --help lists.
#
#   check-man-pages.sh SOURCE_DIR MAN_DIR EMULATOR
set -euo pipefail
source_dir="$1"
man_dir="$2"
emulator="$3"
failed=0

for page in "$man_dir"/hx7300.1 "$man_dir"/hx7300-emulator.1; do
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null || echo "man failed")
  if [ -n "$warnings" ]; then
    echo "$page: $warnings"
    failed=1
  fi
done

# Every name a page must mention, and the page.
check_named() {
  local page="$1" name
  shift
  local text
  text=$(MANWIDTH=200 man -l "$man_dir/$page" 2>/dev/null)
  for name in "$@"; do
    if ! grep -qF -- "$name" <<<"$text"; then
      echo "$page does not mention $name"
      failed=1
    fi
  done
}
mapfile -t variables < <(grep -rhoE '"HX7300_[A-Z_]+"' "$source_dir/src" | tr -d '"' | sort -u)
check_named hx7300.1 "${variables[@]}"
mapfile -t options < <("$emulator" --help | grep -oE '^  --[a-z-]+' | tr -d ' ' | sort -u)
check_named hx7300-emulator.1 "${options[@]}"
exit "$failed"
