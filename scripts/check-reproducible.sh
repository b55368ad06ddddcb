#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package of one commit twice and checks that the two
# builds are the same bytes: the .deb and the four executables. The builds
# differ in everything that must not matter: the clone's path, the build
# folder (inside the clone, or elsewhere and deeper), the umask (022, 002),
# the time zone and the locale, and the time of day. On a difference it names
# the first differing file, and shows diffoscope's account when diffoscope
# is installed.
#   scripts/check-reproducible.sh [<commit>]                  two builds, compared
#   scripts/check-reproducible.sh --against <deb> [<commit>]  one build, compared with a released package
# The commit defaults to HEAD. Run it on the Debian release the package was
# built for: another compiler makes other bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

against=
commit=HEAD
while [ $# -gt 0 ]; do
  case "$1" in
    --against) against=$(realpath "$2"); shift 2 ;;
    -*) echo "check-reproducible.sh: unknown option $1" >&2; exit 2 ;;
    *) commit=$1; shift ;;
  esac
done
scripts/install-deps.sh --build --package
commit=$(git rev-parse --verify "$commit^{commit}")
tools=(Ravelsign Ravelverify Ravelhsm Ravelinfo)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# build <name> <clone> <build folder> <umask> <TZ> <locale>: one clone of the
# commit, built into its package; the .deb is copied to <work>/<name>.deb.
build() {
  local name=$1 clone=$2 objects=$3
  git -c init.defaultBranch=main clone -q --no-local --no-checkout . "$clone"
  git -C "$clone" checkout -q "$commit"
  echo "=== Build $name: $clone -> $objects (umask $4, TZ=$5, LC_ALL=$6)"
  # set -e does not reach into a subshell whose status is tested: each step is chained.
  (
    umask "$4" && export TZ=$5 LC_ALL=$6 && unset SOURCE_DATE_EPOCH &&
      cmake -S "$clone" -B "$objects" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRAVEL_BUILD_TESTS=OFF \
        -DRAVEL_BUILD_BENCHMARKS=OFF >"$work/$name-configure.log" 2>&1 &&
      cmake --build "$objects" -j"$(nproc)" >"$work/$name-build.log" 2>&1 &&
      cd "$objects" && cpack -G DEB -B "$objects/package" >"$work/$name-cpack.log" 2>&1
  ) || { tail -n 30 "$work/$name"-*.log; echo "check-reproducible.sh: build $name failed" >&2; exit 1; }
  cp "$objects"/package/ravelsign_*.deb "$work/$name.deb"
}

# first_differing_lines <text> <text>: the first line of each that the other lacks.
first_differing_lines() {
  diff <(echo "$1") <(echo "$2") | awk '/^</ && a == "" { a = $0 } /^>/ && b == "" { b = $0 } END { print a " | " b }'
}

# The first differing file inside two .deb files: the ar members' listing
# (order, mode, owner, time), then the members in order,
# then each tar member's listing (order, mode, owner, size, time), then the
# files' bytes in the listing's order.
first_difference_in_deb() {
  local a=$work/unpacked-a b=$work/unpacked-b member
  mkdir -p "$a" "$b"
  (cd "$a" && ar x "$1") && (cd "$b" && ar x "$2")
  local members_a members_b
  # Sizes are left to the members' own comparison below.
  members_a=$(ar tv "$1" | awk '{ $3 = ""; print }') members_b=$(ar tv "$2" | awk '{ $3 = ""; print }')
  if [ "$members_a" != "$members_b" ]; then
    echo "the package's ar members: $(first_differing_lines "$members_a" "$members_b")"
    return
  fi
  for member in $(ar t "$1"); do
    cmp -s "$a/$member" "$b/$member" && continue
    case "$member" in
      *.tar*)
        local listing_a listing_b
        listing_a=$(tar -tvf "$a/$member" --full-time --numeric-owner)
        listing_b=$(tar -tvf "$b/$member" --full-time --numeric-owner)
        if [ "$listing_a" != "$listing_b" ]; then
          echo "$member, listing: $(first_differing_lines "$listing_a" "$listing_b")"
          return
        fi
        mkdir "$a/$member.d" "$b/$member.d"
        tar -xf "$a/$member" -C "$a/$member.d" && tar -xf "$b/$member" -C "$b/$member.d"
        local path
        while read -r path; do
          if [ -f "$a/$member.d/$path" ] && ! cmp -s "$a/$member.d/$path" "$b/$member.d/$path"; then
            echo "$member: $path ($(cmp "$a/$member.d/$path" "$b/$member.d/$path" | sed 's/.*differ: //'))"
            return
          fi
        done < <(tar -tf "$a/$member")
        echo "$member (its compression)"
        return ;;
      *) echo "$member"; return ;;
    esac
  done
}

report() {
  echo "NOT REPRODUCIBLE: first differing file: $1" >&2
  if command -v diffoscope >/dev/null; then
    diffoscope --text - "$2" "$3" | head -n 60 || true
  fi
  exit 1
}

build a "$work/a/ravelsign" "$work/a/ravelsign/build" 022 UTC0 C
a_objects=$work/a/ravelsign/build
if [ -n "$against" ]; then
  cmp -s "$work/a.deb" "$against" ||
    report "$(basename "$against"): $(first_difference_in_deb "$work/a.deb" "$against")" "$work/a.deb" "$against"
  echo "reproducible: $(basename "$against") is commit $commit"
  exit 0
fi
build b "$work/b/another/clone/path/ravelsign-src" "$work/b/objects" 002 RVL-13:45 C.UTF-8

for tool in "${tools[@]}"; do
  cmp -s "$a_objects/bin/$tool" "$work/b/objects/bin/$tool" ||
    report "bin/$tool ($(cmp "$a_objects/bin/$tool" "$work/b/objects/bin/$tool" | sed 's/.*differ: //'))" \
      "$a_objects/bin/$tool" "$work/b/objects/bin/$tool"
done
cmp -s "$work/a.deb" "$work/b.deb" ||
  report "$(basename "$a_objects"/package/*.deb): $(first_difference_in_deb "$work/a.deb" "$work/b.deb")" \
    "$work/a.deb" "$work/b.deb"
echo "reproducible: $(basename "$a_objects"/package/*.deb) and ${tools[*]} are the same bytes in both builds"
sha256sum "$work/a.deb" | sed "s|$work/a.deb|$(basename "$a_objects"/package/*.deb)|"
