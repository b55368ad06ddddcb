#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The Debian package as a user gets it: built with cpack, unpacked into a
# temporary root with dpkg -x, its binaries run on the example it carries, its
# man pages rendered by man -l.
#   package_test.sh <build directory>
set -euo pipefail
build=$1
tests=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=tests/lib.sh
source "$(dirname "$0")/lib.sh"

# Packaged under a group-writable umask: the package must not show it.
(umask 002 && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/package/ravelsign_*.deb)

# Modes and owners are the package's own, not the builder's: ar members as
# dpkg-deb writes them, files and folders root's with fixed modes.
! ar tv "$deb" | grep -v '^rw-r--r-- 0/0 ' || fail "an ar member of the package is not mode 644, owner root"
! dpkg-deb --fsys-tarfile "$deb" | tar -tv --numeric-owner | grep -vE '^(drwxr-xr-x|-rwxr-xr-x|-rw-r--r--) 0/0 ' ||
  fail "a file in the package has another mode or owner"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The crypto library's package of this release (libmbedcrypto7 on Debian 12,
# libmbedcrypto16 on 13), as dpkg knows the library the tools link against.
library=$(ldd "$build/bin/Ravelsign" | awk '/libmbedcrypto/ { print $3 }')
crypto_package=$(dpkg-query -S "$(readlink -f "$library")" | cut -d: -f1 | head -n 1)
[[ -n $crypto_package && $depends == *"$crypto_package "* ]] ||
  fail "the package does not depend on the mbed TLS crypto library's package ${crypto_package:-?}"
[[ $depends == *libmbedtls* || $depends == *libmbedx509* ]] && fail "the package depends on more of mbed TLS than the crypto library"

# Debian's own checker: no error and no warning (informational tags are fine;
# as root it also says that root is not recommended, which is no tag).
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian reports problems in the package"; }

root=$work/root
dpkg -x "$deb" "$root"
tools="Ravelsign Ravelverify Ravelhsm Ravelinfo"
for path in usr/share/doc/ravelsign/examples/sample_info.txt usr/share/doc/ravelsign/copyright \
            usr/share/doc/ravelsign/README.md usr/share/doc/ravelsign/docs/information-file.md \
            usr/lib/cmake/Ravelsign/RavelsignConfig.cmake usr/lib/cmake/Ravelsign/RavelsignConfigVersion.cmake \
            usr/share/doc/ravelsign/changelog.gz usr/share/ravelsign/ravelverify.schema.json $(for t in $tools; do echo usr/bin/$t usr/share/man/man1/$t.1.gz; done); do
  [ -e "$root/$path" ] || fail "$path is not in the package"
done

# The installed binaries on the example the package carries.
cp "$root"/usr/share/doc/ravelsign/examples/* "$work"
cd "$work"
"$root/usr/bin/Ravelsign" sample_info.txt sample.bin >sign.log || { cat sign.log; fail "Ravelsign exit status $?"; }
grep -qx 'ECDSA verify OK.' sign.log || { cat sign.log; fail "the installed Ravelsign did not sign"; }
[ "$(tail -n 1 sign.log)" = "Output secure boot image: sample_SBoot.hex" ] || fail "unexpected last line"
"$root/usr/bin/Ravelverify" sample_info.txt sample_SBoot.hex >verify.log ||
  { cat verify.log; fail "the installed Ravelverify refused the signed example"; }
"$root/usr/bin/Ravelverify" --json sample_info.txt sample_SBoot.hex >verify.json &&
  python3 "$tests/validate_json.py" "$root/usr/share/ravelsign/ravelverify.schema.json" verify.json ||
  fail "the installed Ravelverify's --json object does not follow the installed schema"
"$root/usr/bin/Ravelinfo" check sample_info.txt sample.bin >check.log ||
  { cat check.log; fail "the installed Ravelinfo finds fault with the example"; }
"$root/usr/bin/Ravelhsm" digest sample_info.txt sample.bin sample.digest >digest.log &&
  [ "$(stat -c %s sample.digest)" = 32 ] || { cat digest.log; fail "the installed Ravelhsm wrote no digest"; }

# Each man page renders without a warning and holds the sections a reader looks for.
for page in $tools; do
  MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" >"$page.txt" 2>"$page.err" ||
    fail "man -l $page"
  [ ! -s "$page.err" ] || { cat "$page.err"; fail "man reports problems in $page.1"; }
  for section in NAME SYNOPSIS DESCRIPTION 'EXIT STATUS' EXAMPLE; do
    grep -q "^$section" "$page.txt" || fail "$page.1 has no $section section"
  done
done
grep -q '^INFORMATION FILE' Ravelsign.txt || fail "Ravelsign.1 does not describe the information file"
echo "package OK: $(basename "$deb")"
