#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs a command in a fresh clone of the commit under test, inside a fresh
# Debian root of the given release and architecture: a minimal root made by
# debootstrap from the archive the machine's apt sources name. An i386 root
# runs natively on an amd64 kernel. Needs root (debootstrap, chroot).
#   scripts/test-in-root.sh [--arch <arch>] [--deps '<install-deps.sh options>'] <suite> <command>
#   scripts/test-in-root.sh trixie 'scripts/sign-example.sh && scripts/test.sh'
#   scripts/test-in-root.sh --arch i386 --deps --light bookworm 'scripts/test.sh --light'
# The packages that scripts/install-deps.sh installs with the --deps options
# are installed first; then the root's /etc is listed, the command runs, and
# a command that changed /etc (a file added, removed or altered) fails the run.
# The root is unmounted and removed on every path. The finished debootstrap
# base and the downloaded packages are kept under /var/cache/ravel between
# runs, one of each per release and architecture; the clone never is.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=$(dpkg --print-architecture)
deps=
while [ $# -gt 0 ]; do
  case "$1" in
    --arch) arch=$2; shift 2 ;;
    --deps) deps=$2; shift 2 ;;
    -*) echo "test-in-root.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $# -ne 2 ]; then
  echo "usage: test-in-root.sh [--arch <arch>] [--deps '<install-deps.sh options>'] <suite> <command>" >&2
  exit 2
fi
suite=$1 command=$2
if [ "$(id -u)" -ne 0 ]; then
  echo "test-in-root.sh: needs root for debootstrap and chroot" >&2
  exit 2
fi
scripts/install-deps.sh --debootstrap

commit=$(git rev-parse HEAD)
archive=$(scripts/debian-archive.sh)
cache=/var/cache/ravel
base=$cache/$suite-$arch-minbase.tar
packages=$cache/$suite-$arch-apt-archives
mkdir -p "$cache" "$packages"

root=$(mktemp -d "/var/tmp/ravel-$suite-$arch.XXXXXX")
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
  if mountpoint -q "$root"; then
    umount -R "$root" 2>/dev/null || umount -R -l "$root" || true
  fi
  if ! findmnt -rno TARGET | grep -q "^$root"; then
    rm -rf --one-file-system "$root"
  else
    echo "test-in-root.sh: $root is still mounted; left in place" >&2
  fi
  rm -f "$root.log" "$root".etc-*
}
trap cleanup EXIT

if [ ! -f "$base" ]; then
  echo "=== debootstrap --variant=minbase --arch=$arch $suite from $archive"
  debootstrap --variant=minbase --arch="$arch" "$suite" "$root" "$archive" >"$root.log" 2>&1 ||
    { tail -n 30 "$root.log"; exit 1; }
  rm -rf "$root"/var/cache/apt/archives/*.deb
  tar -C "$root" -cf "$base.tmp" . && mv "$base.tmp" "$base"
else
  echo "=== Debian $suite ($arch) base from $base"
  tar -C "$root" -xf "$base"
fi

# The root's / is 755 as on any Debian system, whatever mktemp (700) and
# the base's archive of it say: tests run tools as other users too.
chmod 755 "$root"
# The root is a mount point of its own, private to this run: tests may then
# make mount namespaces inside it (unshare --propagation private needs a
# mounted /), and nothing mounted there reaches the machine's mounts.
mount --bind "$root" "$root"
mount --make-private "$root"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --make-rslave "$root/sys"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mount --bind "$packages" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"

git clone -q --no-local . "$root/work/ravelsign"
git -C "$root/work/ravelsign" checkout -q "$commit"
echo "=== In Debian $(cat "$root/etc/debian_version") ($arch), commit $commit"

in_root() {
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI="${CI:-}" FUZZ_SECONDS="${FUZZ_SECONDS:-10}" \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /work/ravelsign && $1"
}
# Every entry of /etc with its type, mode, owner and, for a file, its bytes.
list_etc() {
  (cd "$root/etc" && find . -printf '%p %y %m %U:%G %l\n' | sort &&
     find . -type f -print0 | sort -z | xargs -0 -r sha256sum)
}

in_root "scripts/install-deps.sh $deps"
list_etc >"$root.etc-before"
in_root "$command"
list_etc >"$root.etc-after"
if ! diff -u "$root.etc-before" "$root.etc-after" >"$root.etc-diff"; then
  echo "FAILED: the test command changed the root's /etc:" >&2
  grep '^[-+][^-+]' "$root.etc-diff" >&2
  exit 1
fi
echo "=== /etc in the root is as the test command found it"
