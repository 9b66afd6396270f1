#!/usr/bin/env bash
# Checks scripts/fb-server.sh: start, reuse, port clash, stop, stale pid.
#
#   tests/db/fb_server_test.sh SCRATCH_DIR
#
# Starts and stops its own instances under SCRATCH_DIR; leaves none running.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
fbs=$here/../../scripts/fb-server.sh

(($# == 1)) || { echo "usage: $0 SCRATCH_DIR" >&2; exit 2; }
mkdir -p "$1"
scratch=$(cd "$1" && pwd -P)
work=$(mktemp -d "$scratch/fbs.XXXXXX")
root_a=$work/a
root_b=$work/b
cleanup() {
  "$fbs" stop "$root_a" 2>/dev/null
  "$fbs" stop "$root_b" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
ok() { echo "ok - $1"; }
fail() { echo "FAIL - $1" >&2; failures=$((failures + 1)); }
expect() {
  if [[ $2 == "$3" ]]; then ok "$1"; else
    fail "$1"; printf '  expected: %s\n  actual:   %s\n' "$2" "$3" >&2
  fi
}
answers() {
  fbsvcmgr "127.0.0.1/$1:service_mgr" -user SYSDBA -password plumdrake \
    -info_server_version >/dev/null 2>&1
}
state_of() { ps -o stat= -p "$1" 2>/dev/null | tr -d ' '; }

port=$("$fbs" start "$root_a" auto 2>"$work/err")
rc=$?
expect "start auto succeeds" "0" "$rc"
if [[ $port =~ ^[0-9]+$ ]]; then ok "start prints only the port ($port)"; else
  fail "start prints only the port"; echo "  stdout: $port" >&2; fi
if answers "$port"; then ok "server answers as SYSDBA/plumdrake"; else fail "server answers"; fi
expect "port command" "$port" "$("$fbs" port "$root_a" 2>/dev/null)"
pid=$(<"$root_a/server.pid")
expect "server runs with the root's config" "1" \
  "$(tr '\0' '\n' <"/proc/$pid/environ" | grep -cxF "FIREBIRD=$root_a")"
if [[ -f $root_a/intl/libfbintl.so && ! -L $root_a/intl/libfbintl.so ]]; then
  ok "charset library is a real file"; else fail "charset library is a real file"; fi

# A WIN1251 database proves the charset library is usable, not just present.
out=$(echo "create database '127.0.0.1/$port:$work/cs.fdb' user 'SYSDBA' password 'plumdrake' default character set WIN1251;
select rdb\$character_set_name from rdb\$database; drop database;" |
  isql-fb -q 2>&1 | tr -s ' \n' ' ')
expect "WIN1251 database can be created" " RDB\$CHARACTER_SET_NAME =============================== WIN1251 " "$out"

again=$("$fbs" start "$root_a" auto 2>/dev/null)
rc=$?
expect "second start of a running root reports its port" "0 $port" "$rc $again"
expect "second start keeps the same server" "$pid" "$(<"$root_a/server.pid")"

"$fbs" start "$root_b" "$port" >/dev/null 2>"$work/err"
rc=$?
expect "start on a taken port fails with 3" "3" "$rc"
expect "... with one line on stderr" "1" "$(wc -l <"$work/err")"
[[ -f $root_b/server.pid ]] && fail "no pid file after a clash" || ok "no pid file after a clash"

"$fbs" stop "$root_a" 2>/dev/null
expect "stop succeeds" "0" "$?"
st=$(state_of "$pid")
if [[ -z $st || $st == Z* ]]; then ok "server is gone after stop"; else
  fail "server is gone after stop"; echo "  state: $st" >&2; fi
[[ -e $root_a/server.pid ]] && fail "pid file removed" || ok "pid file removed"
"$fbs" stop "$root_a" 2>/dev/null
expect "stop without a server succeeds" "0" "$?"
"$fbs" port "$root_a" >/dev/null 2>&1
expect "port without a server fails" "1" "$?"
"$fbs" stop "$work/never-made" 2>/dev/null
expect "stop of an unknown root succeeds" "0" "$?"

# A server that died without stop leaves a stale pid file behind.
port=$("$fbs" start "$root_a" auto 2>/dev/null)
pid=$(<"$root_a/server.pid")
kill -KILL "$pid"
for _ in $(seq 50); do
  st=$(state_of "$pid"); [[ -z $st || $st == Z* ]] && break; sleep 0.1
done
port2=$("$fbs" start "$root_a" auto 2>/dev/null)
rc=$?
expect "start after a crash succeeds" "0" "$rc"
if [[ $(<"$root_a/server.pid") != "$pid" ]] && answers "$port2"; then
  ok "start after a crash runs a new server"; else fail "start after a crash runs a new server"; fi

"$fbs" start "$root_b" "x1" >/dev/null 2>&1
expect "a bad port is a usage error" "2" "$?"

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
