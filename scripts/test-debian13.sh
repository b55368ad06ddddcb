#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the README's two commands, scripts/sign-example.sh and then
# scripts/test.sh, in a fresh Debian 13 (trixie) root, with mbed TLS 3.6: a
# minimal root made by debootstrap from the archive the machine's apt sources
# name, and a fresh clone of the commit under test. Needs root (chroot).
# The root is unmounted and removed on every path.
#   scripts/test-debian13.sh [options for scripts/test.sh]
# The finished debootstrap base is kept under /var/cache/ravel between runs on
# one machine, and so are the downloaded packages; the clone never is.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "test-debian13.sh: needs root for debootstrap and chroot" >&2
  exit 2
fi
if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi

commit=$(git rev-parse HEAD)
archive=$(scripts/debian-archive.sh)
cache=/var/cache/ravel
base=$cache/debian13-minbase.tar
packages=$cache/debian13-apt-archives
mkdir -p "$cache" "$packages"

root=$(mktemp -d /var/tmp/ravel-debian13.XXXXXX)
mounts=(proc sys dev var/cache/apt/archives)
cleanup() {
  # Nothing started inside the root (a wineserver, say) may outlive the run.
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ]; then
      kill -KILL "${proc#/proc/}" 2>/dev/null || true
    fi
  done
  for mount in "${mounts[@]}"; do
    if mountpoint -q "$root/$mount"; then
      umount -R "$root/$mount" 2>/dev/null || umount -R -l "$root/$mount" || true
    fi
  done
  if ! findmnt -rno TARGET | grep -q "^$root"; then
    rm -rf --one-file-system "$root"
  else
    echo "test-debian13.sh: $root is still mounted; left in place" >&2
  fi
}
trap cleanup EXIT

if [ ! -f "$base" ]; then
  echo "=== debootstrap --variant=minbase trixie from $archive"
  debootstrap --variant=minbase trixie "$root" "$archive" >"$root.log" 2>&1 ||
    { tail -n 30 "$root.log"; rm -f "$root.log"; exit 1; }
  rm -f "$root.log"
  rm -rf "$root"/var/cache/apt/archives/*.deb
  tar -C "$root" -cf "$base.tmp" . && mv "$base.tmp" "$base"
else
  echo "=== Debian 13 base from $base"
  tar -C "$root" -xf "$base"
fi

mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --make-rslave "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mount --bind "$packages" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"

git clone -q --no-local . "$root/work/ravelsign"
git -C "$root/work/ravelsign" checkout -q "$commit"
echo "=== In Debian $(cat "$root/etc/debian_version"), commit $commit"

options=$(printf ' %q' "$@")
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI="${CI:-}" FUZZ_SECONDS="${FUZZ_SECONDS:-10}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  bash -c "cd /work/ravelsign && scripts/sign-example.sh && scripts/test.sh$options"
