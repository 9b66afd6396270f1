#!/usr/bin/env bash
# The console started twice against one database, beside the monitor:
#  - each console empties EURO_LOG when it connects;
#  - operation 1 in the first, then in the second: both pass, each with its own backups;
#  - 2.1 confirmed in both at once: the no-wait transaction makes the second fail at once
#    on the first one's lock, while the first converts;
#  - 2.1 in the second once the first is done: refused by the database (already in euro);
#  - every amount converted exactly once; both programs still answer and close cleanly.
# Usage: two_consoles_test.sh BUILD_DIR SOURCE_DIR. Runs a server and a display of its own.
set -euo pipefail
[[ -z ${RELIABILITY_TRACE:-} ]] || set -x

build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$build/reliability/two-consoles
"$src/scripts/fb-server.sh" stop "$work/fb" >/dev/null 2>&1 || true
rm -rf "$work"
mkdir -p "$work/shots"
source "$src/tests/reliability/lib.sh"

root=$work/fb
start_server "$root"
demo=$work/demo
name=$("$src/scripts/create-demo-db.sh" "$demo" "$port" 2>/dev/null | tail -n 1)
expected=$(amounts "$name" expected)
start_display
lines() { value "$name" "select count(*) from EURO_LOG where LOG_MSG starting with '$1';"; }
backups() { ls "$demo/Backup" 2>/dev/null | wc -l; }

launch mon "$demo" env VANTREL_ROWS_DUMP="$work/rows.txt" "$build/src/monitor/Vantrel" "$name"
window mon '^Vantrel,' 30 >/dev/null || fail "the monitor's window did not appear"
isqlq "$name" "insert into EURO_LOG (LOG_MSG) values ('before the first console'); commit;" >/dev/null
launch conA "$demo" env FIREBIRD="$root" "$build/src/console/Corvane"
window conA '^Corvane,  Рег.№ 4711$' 30 >/dev/null || fail "the first console did not connect"
sleep 1
[[ $(value "$name" "select count(*) from EURO_LOG;") == 0 ]] || fail "the first console did not empty the log"
isqlq "$name" "insert into EURO_LOG (LOG_MSG) values ('before the second console'); commit;" >/dev/null
launch conB "$demo" env FIREBIRD="$root" "$build/src/console/Corvane"
window conB '^Corvane,  Рег.№ 4711$' 30 >/dev/null || fail "the second console did not connect"
sleep 1
[[ $(value "$name" "select count(*) from EURO_LOG;") == 0 ]] || fail "the second console did not empty the log"

log "operation 1 in the first console, then in the second"
pick conA 1
box conA 60 A-op1-success || fail "operation 1 did not end in the first console"
for _ in $(seq 50); do (($(backups) == 4)) && break; sleep 0.2; done
(($(backups) == 4)) || fail "the first console's operation 1 left $(backups) backups, not 4"
no_box conA 2 || fail "the first console's template stage reported a failure"
sleep 1 # the backups of the second run get another time stamp
pick conB 1
box conB 60 B-op1-success || fail "operation 1 did not end in the second console"
for _ in $(seq 50); do (($(backups) == 8)) && break; sleep 0.2; done
(($(backups) == 8)) || fail "the second console's operation 1 left $(backups) backups, not 8"
no_box conB 2 || fail "the second console's template stage reported a failure"
# The second run backed up what the first had stored: the new template file.
latest=$(ls "$demo/Backup/"B_BILLBEFORE_* | sort | tail -n 1)
cmp -s "$latest" "$demo/BILLBEFORE.fr3" || fail "the second backup of BILLBEFORE is not the first run's template"
[[ $(value "$name" "select CURRENCY from EURO_STATE;") == BGN ]] || fail "operation 1 changed the currency"

log "2.1 confirmed in both consoles at once"
pick conA 2
confirmA=$(window conA '^Corvane$' 10) || fail "no confirmation in the first console"
pick conB 2
confirmB=$(window conB '^Corvane$' 10) || fail "no confirmation in the second console"
sleep 0.5
shot both-confirmations
focus "$confirmA"
xdotool key Return
started=$SECONDS
focus "$confirmB"
xdotool key Return
# The second fails at once on the first one's lock, long before the first has finished.
box conB 15 B-lock-conflict || fail "the second console showed nothing"
[[ $(lines 'Преминаване към еврото: край') == 0 ]] || fail "the first conversion ended before the second was refused: no conflict tried"
log "   the second console was answered after $((SECONDS - started)) s, the first still converting"
box conA 180 A-21-success || fail "2.1 did not end in the first console"
[[ $(lines 'Преминаване към еврото: начало') == 2 ]] || fail "expected two conversion starts in the log"
[[ $(lines 'Преминаване към еврото: край') == 1 ]] || fail "expected one conversion end in the log"
[[ $(amounts "$name") == "$expected" ]] || fail "the amounts are not converted exactly once:
$(amounts "$name")
expected:
$expected"

log "2.1 in the second console after the first"
pick conB 2
box conB 10 B-21-confirmation || fail "no confirmation in the second console"
box conB 30 B-21-refused || fail "the second console showed nothing"
[[ $(lines 'Отказ: базата данни вече е в евро') == 1 ]] || fail "the database did not refuse a second conversion"
[[ $(amounts "$name") == "$expected" ]] || fail "the refused conversion changed amounts"
# The monitor showed the work of both.
for _ in $(seq 20); do grep -q 'Отказ: базата данни вече е в евро' "$work/rows.txt" 2>/dev/null && break; sleep 0.5; done
grep -q 'Отказ: базата данни вече е в евро' "$work/rows.txt" || fail "the monitor did not show the refusal"
shot end
close_program conA
close_program conB
close_program mon
log "PASS (screenshots in $work/shots)"
