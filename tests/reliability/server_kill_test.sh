#!/usr/bin/env bash
# The database server killed (SIGKILL) under the console, as an operator might meet it:
#  1. in the middle of operation 2.1: the console reports the failure and stays usable, the
#     monitor's grid empties; with the server back the conversion proves rolled back whole,
#     and 2.1 from a newly started console converts every amount exactly once;
#  2. in the middle of a template replacement (a 200 MB BILLBEFORE.fr3): the console
#     reports it; with the server back the stored template is the old one or the new one,
#     whole, and the backup of the old one is in Backup.
# Usage: server_kill_test.sh BUILD_DIR SOURCE_DIR. Runs a server and a display of its own.
set -euo pipefail
[[ -z ${RELIABILITY_TRACE:-} ]] || set -x

build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$build/reliability/server-kill
"$src/scripts/fb-server.sh" stop "$work/fb" >/dev/null 2>&1 || true
rm -rf "$work"
mkdir -p "$work/shots"
source "$src/tests/reliability/lib.sh"

root=$work/fb
start_server "$root"
demo=$work/demo
name=$("$src/scripts/create-demo-db.sh" "$demo" "$port" 2>/dev/null | tail -n 1)
before=$(amounts "$name")
expected=$(amounts "$name" expected)
[[ $before == *"STATE BGN"* ]] || fail "the demo database is not in leva: $before"
start_display

start_programs() { # SUFFIX
  launch "mon$1" "$demo" env VANTREL_ROWS_DUMP="$work/rows$1.txt" "$build/src/monitor/Vantrel" "$name"
  window "mon$1" '^Vantrel,' 30 >/dev/null || fail "the monitor's window did not appear"
  launch "con$1" "$demo" env FIREBIRD="$root" "$build/src/console/Corvane"
  window "con$1" '^Corvane,  Рег.№ 4711$' 30 >/dev/null || fail "the console's window did not appear connected"
  sleep 1
}

# ---- 1. killed during operation 2.1 ----
log "1. the server killed during operation 2.1"
start_programs 1
pick con1 2
box con1 10 1-confirmation || fail "no confirmation for 2.1"
sleep 2
# Still running: the procedure has begun and not finished.
[[ $(value "$name" "select count(*) from EURO_LOG where LOG_MSG starting with 'Преминаване към еврото: начало';") == 1 ]] ||
  fail "2.1 had not started after 2 s"
[[ $(value "$name" "select count(*) from EURO_LOG where LOG_MSG starting with 'Преминаване към еврото: край';") == 0 ]] ||
  fail "2.1 ended within 2 s: nothing left to interrupt"
kill_server "$root"
box con1 30 1-failure-message || fail "the console showed no failure message"
alive con1 || fail "the console is gone after the server was killed"
alive mon1 || fail "the monitor is gone after the server was killed"
sleep 3
[[ ! -s $work/rows1.txt ]] || fail "the monitor still shows $(wc -l <"$work/rows1.txt") rows"
no_box mon1 1 || fail "the monitor showed a message"
# The window still answers: operation 3 reports the lost connection in its turn.
pick con1 4
box con1 15 1-next-operation || fail "the console did not answer after the failure"
# Operation 3 goes on to its templates whatever the procedure did: their failure follows.
box con1 15 1-next-operation-templates || fail "no failure of operation 3's template stage"
alive con1 || fail "the console is gone after a second operation"
shot 1-after
close_program con1
close_program mon1

start_server "$root" "$port"
[[ $(amounts "$name") == "$before" ]] || fail "the conversion was not rolled back whole:
$(amounts "$name")
expected, as before:
$before"
log "   rolled back whole; 2.1 again from a newly started console"
start_programs 2
pick con2 2
box con2 10 1-again-confirmation || fail "no confirmation for 2.1"
box con2 120 1-again-success || fail "2.1 did not end"
[[ $(amounts "$name") == "$expected" ]] || fail "2.1 after the restart converted wrongly:
$(amounts "$name")
expected:
$expected"
close_program con2

# ---- 2. killed during a template replacement ----
log "2. the server killed while operation 1 replaces a 200 MB template"
digest() { "$build/tests/reliability/blob_digest" "$name" "$1"; }
old=$(digest BILLBEFORE)
head -c 200M /dev/urandom >"$demo/BILLBEFORE.fr3"
new="$(stat -c %s "$demo/BILLBEFORE.fr3") $(md5sum <"$demo/BILLBEFORE.fr3" | cut -d' ' -f1)"
launch con3 "$demo" env FIREBIRD="$root" "$build/src/console/Corvane"
window con3 '^Corvane,  Рег.№ 4711$' 30 >/dev/null || fail "the console's window did not appear connected"
sleep 1
pick con3 1
box con3 60 2-procedure-success || fail "operation 1's procedure stage did not end"
# The template stage begins with BILLBEFORE: its backup, then the 200 MB copy into the database.
for _ in $(seq 100); do compgen -G "$demo/Backup/B_BILLBEFORE_*" >/dev/null && break; sleep 0.1; done
compgen -G "$demo/Backup/B_BILLBEFORE_*" >/dev/null || fail "no backup of BILLBEFORE was made"
sleep 1
kill_server "$root"
box con3 30 2-failure-message || fail "the console showed no failure message"
# A failed post is reported by the replacement itself and the stage goes on: at most one more.
box con3 5 2-failure-message-2 || true
no_box con3 3 || fail "more than two messages after one lost connection"
alive con3 || fail "the console is gone after the server was killed"
alive mon2 || fail "the monitor is gone after the server was killed"
close_program con3
close_program mon2

start_server "$root" "$port"
stored=$(digest BILLBEFORE)
backup=$(ls "$demo/Backup/"B_BILLBEFORE_*)
[[ $(wc -l <<<"$backup") == 1 ]] || fail "expected one backup of BILLBEFORE: $backup"
backup_digest="$(stat -c %s "$backup") $(md5sum <"$backup" | cut -d' ' -f1)"
[[ $backup_digest == "$old" ]] || fail "the backup ($backup_digest) is not the old template ($old)"
if [[ $stored == "$old" ]]; then
  log "   the stored template is the old one, whole ($stored); the backup holds it"
elif [[ $stored == "$new" ]]; then
  log "   the stored template is the new one, whole ($stored); the backup holds the old one"
else
  fail "the stored template ($stored) is neither the old one ($old) nor the new one ($new)"
fi
# Nothing else was touched: the templates after BILLBEFORE were not reached.
[[ $(ls "$demo/Backup" | wc -l) == 1 ]] || fail "backups beyond BILLBEFORE: $(ls "$demo/Backup")"
rm -f "$demo/BILLBEFORE.fr3"
log "PASS (screenshots in $work/shots)"
