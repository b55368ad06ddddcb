#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# SoftHSM tokens of a test's own, each in a folder of its own: the one place
# that knows SoftHSM's module and the SO PIN. Sourced by the shell tests:
#   softhsm_token <folder> <label> <PIN>   a token with a key pair "boot" (id 01);
#                                          exports SOFTHSM2_CONF
# Run by the C++ tests:
#   softhsm_token.sh module                prints SoftHSM's module
#   softhsm_token.sh token <folder> <label> <PIN>
#                                          an empty token; its SOFTHSM2_CONF is
#                                          <folder>/softhsm2.conf
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

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  if [ "${1-}" = module ] && [ $# = 1 ]; then
    echo "$softhsm_module"
  elif [ "${1-}" = token ] && [ $# = 4 ]; then
    softhsm_empty_token "$2" "$3" "$4"
  else
    echo "usage: softhsm_token.sh module | token <folder> <label> <PIN>" >&2
    exit 2
  fi
fi
