#!/usr/bin/env bash
# A termination request (SIGTERM, as at the end of a session; SIGINT, Ctrl+C in the terminal
# that started it; SIGHUP) ends each program within seconds, with status 0 and its
# connection detached. The client library catches SIGINT and SIGTERM for itself: left to
# it, the program runs on with its connection dropped (the monitor's grid stays empty).
# Usage: termination_signal_test.sh BUILD_DIR SOURCE_DIR. Runs a server of its own; the
# programs run on Qt's offscreen platform.
set -euo pipefail
[[ -z ${RELIABILITY_TRACE:-} ]] || set -x

build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$build/reliability/termination-signal
"$src/scripts/fb-server.sh" stop "$work/fb" >/dev/null 2>&1 || true
rm -rf "$work"
mkdir -p "$work/shots"
source "$src/tests/reliability/lib.sh"
shot() { :; } # no display here

root=$work/fb
start_server "$root"
demo=$work/demo
name=$(DEMO_INVOICES=1000 "$src/scripts/create-demo-db.sh" "$demo" "$port" 2>/dev/null | tail -n 1)
export QT_QPA_PLATFORM=offscreen
attachments() { # PROGRAM: its attachments on the server
  value "$name" "select count(*) from MON\$ATTACHMENTS where MON\$REMOTE_PROCESS containing '$1';"
}

n=0
for signal in TERM INT HUP; do
  for program in Vantrel Corvane; do
    n=$((n + 1))
    if [[ $program == Vantrel ]]; then
      launch "p$n" "$demo" env VANTREL_ROWS_DUMP="$work/rows$n.txt" "$build/src/monitor/Vantrel" "$name"
    else
      launch "p$n" "$demo" env FIREBIRD="$root" "$build/src/console/Corvane"
    fi
    for _ in $(seq 100); do [[ $(attachments "$program") == 1 ]] && break; sleep 0.2; done
    [[ $(attachments "$program") == 1 ]] || fail "$program did not connect"
    sleep 2.5 # the monitor has ticked
    kill -"$signal" "$(pid_of "p$n")"
    for _ in $(seq 50); do [[ -e $work/p$n.rc ]] && break; sleep 0.1; done
    [[ -e $work/p$n.rc ]] || fail "$program did not end on SIG$signal"
    [[ $(<"$work/p$n.rc") == 0 ]] || fail "$program ended on SIG$signal with status $(<"$work/p$n.rc")"
    [[ $(attachments "$program") == 0 ]] || fail "$program left its connection behind"
    log "$program ended on SIG$signal"
  done
done
log "PASS"
