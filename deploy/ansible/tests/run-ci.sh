#!/usr/bin/env bash
# The playbook against four virtual HX7300s on loopback Unix sockets, one "room" each (a local
# host alias with its own HX7300_DEVICE), the third one's device failing every image transfer:
# uploads a configuration image to every room and checks the slots, the summary, the play's
# exit status, and that the passcode was left nowhere.
#
#   deploy/ansible/tests/run-ci.sh BUILD_DIR [--serial N] [ansible-playbook options, e.g. -f 1]
#
# --serial N updates the rooms N at a time (hx7300_serial) and checks from the run logs that no
# room of a batch started before every room of the batch before had ended. Whatever the batches,
# it prints how many runs were under way at once at most.
#
# HX7300_ANSIBLE_LATENCY_US=N makes every control transfer of the devices take N microseconds
# more, as a slow USB link would, so that the runs rather than Ansible take the time.
set -euo pipefail

build_dir=$(cd "${1:?usage: run-ci.sh BUILD_DIR [--serial N] [ansible-playbook options]}" && pwd)
shift
serial=0
if [ "${1:-}" = --serial ]; then
  serial=${2:?--serial needs a number of rooms}
  shift 2
fi
playbook_dir=$(cd "$(dirname "$0")/.." && pwd)
command -v ansible-playbook >/dev/null ||
  { echo "ansible-playbook is missing: scripts/install-deps.sh installs ansible-core" >&2; exit 1; }

work=$(mktemp -d /tmp/hx7300-ansible-XXXXXX)
emulators=()
play=
cleanup() {
  # The play first, so that a test stopped half way leaves no run behind.
  [ -z "$play" ] || kill "$play" 2>/dev/null || true
  for pid in "${emulators[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  echo "--- the end of the play's output (-vvv):" >&2
  tail -n 150 "$work/play.out" >&2 || true
  exit 1
}

# Letters and digits that no timestamp, duration or byte count can contain by chance.
passcode=Vq3XkRoomTm
rooms=(room-a room-b room-c room-d)
failing_room="room-c"

# Ansible's own files (its temporary copies of modules and files) stay inside $work too, so
# that the search for the passcode below covers them.
export ANSIBLE_HOME="$work/ansible-home" ANSIBLE_LOCAL_TEMP="$work/ansible-local"
export ANSIBLE_REMOTE_TEMP="$work/ansible-remote" ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0

for room in "${rooms[@]}"; do
  faults=(--fault "latency-us=${HX7300_ANSIBLE_LATENCY_US:-0}")
  [ "$room" = "$failing_room" ] && faults+=(--fault info-status=0x8007001F)
  "$build_dir/hx7300-emulator" --listen "unix:$work/$room.sock" --state-dir "$work/$room" \
    --passcode "$passcode" "${faults[@]}" >"$work/$room.out" 2>&1 &
  emulators+=($!)
done
for room in "${rooms[@]}"; do
  for _ in $(seq 200); do
    grep -q listening "$work/$room.out" && break
    sleep 0.05
  done
  grep -q listening "$work/$room.out" ||
    fail "the emulator of $room did not start: $(cat "$work/$room.out")"
done

{
  echo "[hx7300_rooms]"
  for room in "${rooms[@]}"; do
    echo "$room hx7300_device=unix:$work/$room.sock"
  done
  echo "[hx7300_rooms:vars]"
  echo "ansible_connection=local"
  echo "ansible_pipelining=true"
  echo "ansible_python_interpreter=$(command -v python3)"
} >"$work/inventory.ini"

umask 077
echo "vault-password-for-ci" >"$work/vault-password"
printf 'hx7300_passcode: "%s"\n' "$passcode" >"$work/vault.yml"
ansible-vault encrypt --vault-password-file "$work/vault-password" "$work/vault.yml" >/dev/null
[[ $(head -n 1 "$work/vault.yml") == "\$ANSIBLE_VAULT;"* ]] || fail "the vault was not encrypted"
# The example vault opens with the password its README gives.
ansible-vault view --vault-password-file <(echo hx7300-example) "$playbook_dir/vault.example.yml" |
  grep -q '^hx7300_passcode: "' || fail "vault.example.yml does not open with hx7300-example"

# A configuration image of about 40 kB: ten blocks.
image="$work/qvconfig.xml"
{
  echo "<config>"
  for i in $(seq 1000); do printf '  <room index="%04d" name="Room %04d"/>\n' "$i" "$i"; done
  echo "</config>"
} >"$image"
mkdir "$work/room-tmp"

# -vvv shows every task's arguments, unless the task is no_log: the passcode must not show.
start=$(date +%s%N)
ansible-playbook -i "$work/inventory.ini" "$playbook_dir/update.yml" \
  -e @"$work/vault.yml" --vault-password-file "$work/vault-password" \
  -e hx7300_mode=img -e hx7300_image_index=config -e "hx7300_image_file=$image" \
  -e "hx7300_binary=$build_dir/hx7300" -e "hx7300_tmp_dir=$work/room-tmp" \
  -e "hx7300_log_dir=$work/logs" -e "hx7300_serial=$serial" -vvv "$@" >"$work/play.out" 2>&1 &
play=$!
status=0
wait "$play" || status=$?
play=
end=$(date +%s%N)
options="--serial $serial $*"
echo "playbook wall time: $(((end - start) / 1000000)) ms (${options% })"

# Ansible's status for a play in which some hosts failed.
[ "$status" -eq 2 ] || fail "the play's exit status is $status, not 2"

for room in "${rooms[@]}"; do
  log="$work/logs/$room.jsonl"
  [ -f "$log" ] || fail "no run log fetched from $room"
  grep -q '"type":"end"' "$log" || fail "the run log of $room has no end record"
  # The image went through the room's temporary directory, which is to be empty now.
  grep -q "\"-f\":\"$work/room-tmp/hx7300-" "$log" || fail "$room's image was not in $work/room-tmp"
  line=$(grep -E "^ +\"$room +img +" "$work/play.out") || fail "no summary line for $room"
  if [ "$room" = "$failing_room" ]; then
    cmp -s "$image" "$work/$room/QVCONFIG.XML" && fail "$room's slot holds the image"
    [[ "$line" =~ "0x8007001F  exit 31".*FAILED ]] || fail "$room's line: $line"
    grep -Eq "^$room +: ok=[0-9]+ +changed=[0-9]+ +unreachable=0 +failed=1 " "$work/play.out" ||
      fail "$room did not fail the play"
  else
    cmp "$image" "$work/$room/QVCONFIG.XML" || fail "$room's slot does not hold the image"
    [[ "$line" =~ "0x00000000  exit 0 ".*" ok\"" ]] || fail "$room's line: $line"
    grep -Eq "^$room +: ok=[0-9]+ +changed=[0-9]+ +unreachable=0 +failed=0 " "$work/play.out" ||
      fail "$room failed the play"
  fi
done

# Each run from its start record to its end record, in the inventory's order.
python3 - "$serial" "${rooms[@]/#/$work/logs/}" <<'PYTHON' || fail "the batches overlapped"
import json, sys

serial = int(sys.argv[1])
runs = []
for path in sys.argv[2:]:
    times = {record["type"]: record["time"] for record in map(json.loads, open(path + ".jsonl"))}
    runs.append((times["start"], times["end"]))
# At equal times (milliseconds) one run's end comes before another's start.
events = sorted([(end, 0) for _, end in runs] + [(start, 1) for start, _ in runs])
under_way = at_most = 0
for _, starting in events:
    under_way += 1 if starting else -1
    at_most = max(at_most, under_way)
print(f"at most {at_most} of {len(runs)} runs at once")
if serial > 0:
    batches = [runs[i:i + serial] for i in range(0, len(runs), serial)]
    for before, after in zip(batches, batches[1:]):
        if min(start for start, _ in after) < max(end for _, end in before):
            sys.exit(f"a batch started before the batch before had ended: {before} {after}")
PYTHON

[ -z "$(ls -A "$work/room-tmp")" ] || fail "left on the room PCs: $(ls -A "$work/room-tmp")"
# Nowhere: not in the fetched logs, the play's output, nor any file Ansible left behind.
if grep -r -l -F "$passcode" "$work"; then
  fail "the passcode is in the files above"
fi
echo "ansible: 4 rooms, $failing_room failed as its device did, the passcode left nowhere"
