#!/usr/bin/env bash
# The monitor left running beside a growing log: a line is committed every 0.2 s while the
# monitor's resident memory (VmRSS) is read every 30 s. Run by hand (it takes MINUTES):
#   tests/reliability/monitor_memory.sh BUILD_DIR [MINUTES]   (default 10)
# Prints one line per sample: elapsed seconds, log lines in the table, rows the monitor
# shows, VmRSS in KiB. Uses a Firebird server and an X display of its own.
set -euo pipefail

build=$(cd "$1" && pwd)
minutes=${2:-10}
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d /tmp/monitor-memory.XXXXXX)
root=$work/fb
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  "$src/scripts/fb-server.sh" stop "$root" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

port=$("$src/scripts/fb-server.sh" start "$root" auto 2>/dev/null)
name=$(DEMO_INVOICES=1000 "$src/scripts/create-demo-db.sh" "$work/demo" "$port" 2>/dev/null | tail -n 1)

source "$src/tests/support/display.sh"
start_virtual_display 130 160 || { echo "no virtual display could be started" >&2; exit 1; }

VANTREL_ROWS_DUMP=$work/rows.txt "$build/src/monitor/Vantrel" "$name" >/dev/null 2>&1 &
monitor=$!
pids+=($monitor)
for _ in $(seq 150); do [[ -s $work/rows.txt || -e $work/rows.txt ]] && break; sleep 0.2; done

# One isql session fed through a pipe: a committed line every 0.2 s, of the lengths the
# procedures write.
mkfifo "$work/sql"
isql-fb -q -ch UTF8 -user SYSDBA -password plumdrake "$name" <"$work/sql" >/dev/null 2>&1 &
pids+=($!)
exec 7>"$work/sql"
writer() {
  local i=0
  while :; do
    i=$((i + 1))
    printf "insert into EURO_LOG (LOG_MSG) values ('Таблица INVOICE_LINES: превалутирани %d от 600000 записа, ред %d на проверката за памет'); commit;\n" $((i * 5000)) "$i" >&7
    sleep 0.2
  done
}
writer &
pids+=($!)

rss() { awk '/^VmRSS:/ {print $2}' "/proc/$monitor/status"; }
count() {
  isql-fb -q -user SYSDBA -password plumdrake "$name" <<<"set heading off; select count(*) from EURO_LOG;" |
    tr -d ' \r' | grep -v '^$' | head -n 1
}
printf '%8s %10s %10s %10s\n' seconds log_lines shown vmrss_kib
start=$SECONDS
end=$((start + minutes * 60))
while :; do
  kill -0 "$monitor" 2>/dev/null || { echo "the monitor is gone" >&2; exit 1; }
  printf '%8d %10s %10s %10s\n' $((SECONDS - start)) "$(count)" "$(wc -l <"$work/rows.txt")" "$(rss)"
  ((SECONDS < end)) || break
  sleep 30
done
