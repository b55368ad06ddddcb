# SPDX-License-Identifier: Apache-2.0
# Sourced by tests. softhsm_token <folder> <label> <PIN>: a SoftHSM token there, with a key pair "boot" (id 01).
softhsm_token() {
  mkdir -p "$1/tokens"
  printf 'directories.tokendir = %s\nlog.level = ERROR\n' "$1/tokens" >"$1/softhsm2.conf"
  export SOFTHSM2_CONF=$1/softhsm2.conf
  softhsm2-util --init-token --free --label "$2" --pin "$3" --so-pin 87654321 >/dev/null
  pkcs11-tool --module /usr/lib/softhsm/libsofthsm2.so --token-label "$2" --login --pin "$3" \
    --keypairgen --key-type EC:prime256v1 --label boot --id 01 >/dev/null 2>&1
}
