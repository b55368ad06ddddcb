#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# module-name= starts only the module it names: with a registered module
# whose C_Initialize never returns (a TPM token whose daemon is down), a run
# that names SoftHSM still ends at once, while a run that searches every
# module hangs (the control). p11-kit reads no user configuration for root,
# so the module is registered in /etc/pkcs11/modules, removed again on every
# path; the test is skipped where that folder cannot be written.
#   pkcs11_modules_test.sh <Ravelhsm> <hanging module>
set -euo pipefail
# shellcheck source=tests/softhsm_token.sh
source "$(dirname "$0")/softhsm_token.sh"
hsm=$1
hanging=$2
registry=/etc/pkcs11/modules
registration=$registry/ravel-hanging-test.module
if ! mkdir -p "$registry" 2>/dev/null || ! touch "$registration" 2>/dev/null; then
  echo "SKIPPED: cannot write $registry"
  exit 0
fi
work=$(mktemp -d)
cleanup() { rm -f "$registration"; rm -rf "$work"; }
trap cleanup EXIT
# shellcheck source=tests/lib.sh
source "$(dirname "$0")/lib.sh"

softhsm_token "$work" modules 1234
printf 'module: %s\n' "$hanging" >"$registration"

timeout -s KILL 10 "$hsm" public "pkcs11:token=modules;object=boot?module-name=softhsm2" >"$work/named.out" ||
  fail "Ravelhsm public with module-name=softhsm2 exited with $?"
cat "$work/named.out"
grep -q '^PUBLIC_KEY_1 = ' "$work/named.out" || fail "no public key printed"

status=0
timeout -s KILL 3 "$hsm" public "pkcs11:token=modules;object=boot" >/dev/null 2>&1 || status=$?
[ "$status" = 137 ] || fail "the control did not hang (status $status): the hanging module is not registered"
echo "module-name started SoftHSM alone; the control hung as it should"
