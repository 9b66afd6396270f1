#!/usr/bin/env bash
# Installs what is missing, builds, starts a private Firebird server, creates the demo
# notary database with its report templates in demo/, and opens both programs there.
# The server stops when both windows are closed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
demo=${DEMO_DIR:-$root/demo}
server_root=$build/demo-server

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "demo: no display (DISPLAY is not set); run it in a desktop session, or under Xvfb: xvfb-run -a $0" >&2
  exit 1
fi

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" Corvane Vantrel >/dev/null

cleanup() { "$root/scripts/fb-server.sh" stop "$server_root" >/dev/null 2>&1 || true; }
trap cleanup EXIT

# The programs' default database is 127.0.0.1:<folder>/Tarvel.FDB, that is port 3050.
args=()
if port=$("$root/scripts/fb-server.sh" start "$server_root" 3050 2>/dev/null); then
  :
else
  port=$("$root/scripts/fb-server.sh" start "$server_root" auto)
  echo "demo: port 3050 is taken (a system Firebird service?); the demo server listens on $port instead"
fi
mkdir -p "$demo"
name=$("$root/scripts/create-demo-db.sh" "$demo" "$port" | tail -n 1)
if [[ $port != 3050 ]]; then
  args=("$name")
  echo "demo: both programs get the database name as their first argument: $name"
fi

cd "$demo"
echo "demo: database $demo/Tarvel.FDB on 127.0.0.1:$port; close both windows to stop the demo"
"$build/src/monitor/Vantrel" "${args[@]}" &
monitor=$!
"$build/src/console/Corvane" "${args[@]}" &
console=$!
wait "$console" || true
wait "$monitor" || true
