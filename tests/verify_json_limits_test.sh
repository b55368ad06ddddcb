#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Ravelverify --json where the system says no: a verdict that standard output
# cannot take (a full device) ends with 255, for a verdict not delivered must
# not pass a gate; with no file descriptor left to hold the console back, or
# no room to keep it, one object still says why, with 255.
#   verify_json_limits_test.sh <Ravelverify> <source folder>
set -uo pipefail
verify=$1
cd "$2" || exit 2
info=examples/sample_info.txt hex=tests/cases/sign-example/expected.hex
# shellcheck source=tests/lib.sh
source tests/lib.sh

"$verify" --json "$info" "$hex" >/dev/full
[ $? = 255 ] || fail "a --json object lost to a full device did not end with 255"

# Only standard input, output and error open, and a limit of 4: the loader
# can still open each library, the temporary file takes the fourth and last
# descriptor, and the copy of standard output finds none.
# The run's status and object agree on an error that names the capture: a
# verdict whose console is lost must not pass a gate.
#   expect_capture_error <status> <object> <reason's start> <setup>
expect_capture_error() {
  [ "$1" = 255 ] || fail "status $1 $4"
  python3 -c '
import json, sys
d = json.loads(sys.argv[1])
assert d["verdict"] == "error" and d["exit_status"] == 255, d
assert d["reason"].startswith(sys.argv[2]), d["reason"]
assert all(c["result"] == "not_run" for c in d["checks"])
' "$2" "$3" || fail "no object that says why $4: $2"
}

# Only standard input, output and error open, and a limit of 4: the loader
# can still open each library, the temporary file takes the fourth and last
# descriptor, and the copy of standard output finds none.
out=$(
  for fd in /proc/self/fd/*; do
    n=${fd##*/}
    [ "$n" -gt 2 ] 2>/dev/null && eval "exec $n>&-"
  done
  ulimit -n 4
  exec "$verify" --json "$info" "$hex"
)
expect_capture_error $? "$out" "Cannot hold the console back for --json" "without a console capture"

# The console held back in a full temporary folder (a private mount of a
# full /tmp, which needs root). The tool and its inputs are opened before
# the mount, since they may lie under /tmp themselves.
if [ "$(id -u)" = 0 ] && command -v unshare >/dev/null; then
  # shellcheck disable=SC2016 # expanded by the inner shell
  out=$(unshare --mount sh -c 'exec 3<"$0" 4<"$1" 5<"$2" && mount -t tmpfs -o size=16k tmpfs /tmp &&
    head -c 16384 /dev/zero >/tmp/fill 2>/dev/null; exec /proc/self/fd/3 --json /dev/fd/4 /dev/fd/5' \
    "$verify" "$info" "$hex")
  expect_capture_error $? "$out" "Cannot read the console back for --json" "with a full temporary folder"
fi
echo "Ravelverify --json: a lost object fails, a missing or lost capture says why"
