#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Ravelverify --json where the system says no: a verdict that standard output
# cannot take (a full device) ends with 255, for a verdict not delivered must
# not pass a gate; with no file descriptor left to hold the console back,
# one object still says why, with 255.
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
out=$(
  for fd in /proc/self/fd/*; do
    n=${fd##*/}
    [ "$n" -gt 2 ] 2>/dev/null && eval "exec $n>&-"
  done
  ulimit -n 4
  exec "$verify" --json "$info" "$hex"
)
status=$?
[ "$status" = 255 ] || fail "status $status without a console capture"
python3 -c '
import json, sys
d = json.loads(sys.argv[1])
assert d["verdict"] == "error" and d["exit_status"] == 255, d
assert d["reason"].startswith("Cannot hold the console back for --json"), d["reason"]
assert all(c["result"] == "not_run" for c in d["checks"])
' "$out" || fail "no object that says why: $out"
echo "Ravelverify --json: a lost object fails, a missing capture says why"
