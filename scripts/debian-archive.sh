#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Prints the Debian package archive that the machine's apt sources name (the
# first one that is not the security archive), for fetching another
# release's packages or sources from the same place.
set -euo pipefail
archive=$(grep -hE '^[[:space:]]*(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
            /etc/apt/sources.list.d/*.list 2>/dev/null |
          grep -oE 'https?://[^ ]+' | grep -v -- '-security' | grep -E '/debian/?$' | head -n 1 || true)
echo "${archive:-http://deb.debian.org/debian}"
