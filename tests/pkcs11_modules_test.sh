#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# module-name= starts only the module it names: with a registered module
# whose C_Initialize never returns (a TPM token whose daemon is down), a run
# that names SoftHSM still ends at once, while a run that searches every
# module hangs (the control).
#
# The hanging module is registered where only this test sees it, so that no
# other p11-kit user on the machine hangs meanwhile and a killed test leaves
# nothing registered. p11-kit reads no user configuration for root: there the
# test runs in a mount namespace of its own, with a copy of the system's
# module folder bound over it. Other users get a HOME of the test's own,
# whose ~/.config/pkcs11/modules p11-kit reads. The machine's folders are
# never written.
#   pkcs11_modules_test.sh <Ravelhsm> <hanging module>
set -euo pipefail
if [ "$(id -u)" = 0 ] && [ -z "${RAVEL_PRIVATE_MOUNTS-}" ]; then
  if ! unshare --mount --propagation private true 2>/dev/null; then
    echo "SKIPPED: no mount namespace can be made here"
    exit 0
  fi
  exec unshare --mount --propagation private env RAVEL_PRIVATE_MOUNTS=1 "$0" "$@"
fi
# shellcheck source=tests/softhsm_token.sh
source "$(dirname "$0")/softhsm_token.sh"
hsm=$1
hanging=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/lib.sh
source "$(dirname "$0")/lib.sh"

softhsm_token "$work" modules 1234
registry=$work/modules
mkdir "$registry"
if [ "$(id -u)" = 0 ]; then
  # The machine's module folder when it exists, else the packages' (where
  # SoftHSM registers itself): its registrations kept, ours beside them.
  system=$(pkg-config --variable=sysconfdir p11-kit-1)/pkcs11/modules
  [ -d "$system" ] || system=$(pkg-config --variable=p11_module_configs p11-kit-1)
  cp -a "$system/." "$registry/"
  mount --bind "$registry" "$system"
else
  export HOME=$work/home
  mkdir -p "$HOME/.config/pkcs11"
  ln -s "$registry" "$HOME/.config/pkcs11/modules"
fi
printf 'module: %s\n' "$hanging" >"$registry/ravel-hanging-test.module"

timeout -s KILL 10 "$hsm" public "pkcs11:token=modules;object=boot?module-name=softhsm2" >"$work/named.out" ||
  fail "Ravelhsm public with module-name=softhsm2 exited with $?"
cat "$work/named.out"
grep -q '^PUBLIC_KEY_1 = ' "$work/named.out" || fail "no public key printed"

status=0
timeout -s KILL 3 "$hsm" public "pkcs11:token=modules;object=boot" >/dev/null 2>&1 || status=$?
[ "$status" = 137 ] || fail "the control did not hang (status $status): the hanging module is not registered"
echo "module-name started SoftHSM alone; the control hung as it should"
