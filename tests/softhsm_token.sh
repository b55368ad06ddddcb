#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# SoftHSM tokens of a test's own, each in a folder of its own: the one place
# that knows SoftHSM's module and the SO PIN. Sourced by the shell tests and
# by the C++ tests' shell:
#   softhsm_empty_token <folder> <label> <PIN>   an empty token; exports
#                                                SOFTHSM2_CONF=<folder>/softhsm2.conf
#   softhsm_token <folder> <label> <PIN>         the same with a key pair "boot" (id 01)
softhsm_module=/usr/lib/softhsm/libsofthsm2.so

softhsm_empty_token() {
  mkdir -p "$1/tokens"
  printf 'directories.tokendir = %s\nlog.level = ERROR\n' "$1/tokens" >"$1/softhsm2.conf"
  export SOFTHSM2_CONF=$1/softhsm2.conf
  softhsm2-util --init-token --free --label "$2" --pin "$3" --so-pin 87654321 >/dev/null
}

softhsm_token() {
  softhsm_empty_token "$@"
  pkcs11-tool --module "$softhsm_module" --token-label "$2" --login --pin "$3" \
    --keypairgen --key-type EC:prime256v1 --label boot --id 01 >/dev/null 2>&1
}
