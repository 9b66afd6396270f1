#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test against a private Firebird server
# that the test set-up starts on a free loopback port (and stops at the end).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"

# Whatever happens to ctest, no server is left behind.
trap '"$root/scripts/fb-server.sh" stop "$build/fbtest" >/dev/null 2>&1 || true' EXIT
cd "$build"
ctest --output-on-failure "$@"
