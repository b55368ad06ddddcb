# SPDX-License-Identifier: Apache-2.0
# What every test script shares; sourced, never run on its own.

# Ends the test, giving the reason on standard error.
fail() { echo "FAILED: $*" >&2; exit 1; }
