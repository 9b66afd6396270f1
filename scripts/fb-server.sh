#!/usr/bin/env bash
# A private Firebird 3 server instance living in a folder of its own and
# listening on a loopback port, so tests and demos never touch the system
# instance on 3050.
#
#   fb-server.sh start ROOT PORT|auto   set up ROOT if needed, start, wait until
#                                       ready; prints the port on stdout
#   fb-server.sh stop ROOT              stop the instance of ROOT (no-op if none)
#   fb-server.sh port ROOT              print the port of the running instance
#
# Exit codes: 0 ok, 1 failure, 2 usage, 3 port already in use.
set -euo pipefail

readonly SYSDBA_PASSWORD=plumdrake
readonly FB_SERVER=/usr/sbin/firebird
readonly FB_LIBDIR=/usr/lib/x86_64-linux-gnu/firebird/3.0
readonly FB_CONFDIR=/etc/firebird/3.0
readonly SECURITY_SQL=/usr/share/firebird/3.0/security.sql
readonly AUTO_FIRST=3051 AUTO_LAST=3099

prog=$(basename "$0")
say() { echo "$prog: $*" >&2; }
die() { local rc=$1; shift; say "$*"; exit "$rc"; }
usage() {
  cat >&2 <<EOF
usage: $prog start ROOT PORT|auto
       $prog stop ROOT
       $prog port ROOT
EOF
  exit 2
}

# Only processes that are really there count: a zombie passes `kill -0`
# but is gone for every practical purpose (our parent may never reap it).
alive() {
  local pid=$1 stat
  [[ -n $pid ]] || return 1
  stat=$(ps -o stat= -p "$pid" 2>/dev/null) || return 1
  [[ -n $stat && $stat != Z* ]]
}

# The pid in ROOT/server.pid, if it is a live firebird server of this ROOT
# (guards against a stale file whose pid was reused by something else).
running_pid() {
  local pid
  [[ -f $ROOT/server.pid ]] || return 1
  pid=$(<"$ROOT/server.pid")
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  alive "$pid" || return 1
  [[ $(readlink "/proc/$pid/exe" 2>/dev/null || true) == "$FB_SERVER" ]] || return 1
  if [[ -r /proc/$pid/environ ]]; then
    tr '\0' '\n' <"/proc/$pid/environ" | grep -qxF "FIREBIRD=$ROOT" || return 1
  fi
  echo "$pid"
}

port_in_use() {
  local port=$1
  if command -v ss >/dev/null 2>&1; then
    if ss -Hltn "sport = :$port" 2>/dev/null | grep -q .; then
      return 0
    fi
  fi
  # Fallback when ss is missing; a refused connect means nobody listens.
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
}

pick_port() {
  # Start the search at an offset derived from ROOT, so the same ROOT tends
  # to get the same port and parallel roots do not race for the first one.
  local span=$((AUTO_LAST - AUTO_FIRST + 1)) off i port
  off=$(( $(printf '%s' "$ROOT" | cksum | cut -d' ' -f1) % span ))
  for ((i = 0; i < span; i++)); do
    port=$((AUTO_FIRST + (off + i) % span))
    if ! port_in_use "$port"; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

server_ready() {
  local port=$1
  timeout 5 fbsvcmgr "127.0.0.1/$port:service_mgr" -user SYSDBA \
    -password "$SYSDBA_PASSWORD" -info_server_version >/dev/null 2>&1
}

write_config() {
  local port=$1
  cat >"$ROOT/firebird.conf.tmp" <<EOF
# Private instance; written by $prog at every start.
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $ROOT/security3.fdb
ServerMode = Super
EOF
  mv -f "$ROOT/firebird.conf.tmp" "$ROOT/firebird.conf"
}

# One-time layout of ROOT. Each piece is checked on its own so that an
# interrupted set-up is completed by the next start.
setup_root() {
  mkdir -p "$ROOT/lock" "$ROOT/intl"
  if [[ ! -f $ROOT/databases.conf ]]; then
    cat >"$ROOT/databases.conf" <<EOF
security.db = $ROOT/security3.fdb
{
	RemoteAccess = false
	DefaultDbCachePages = 50
}
EOF
  fi
  [[ -f $ROOT/plugins.conf ]] || cp "$FB_CONFDIR/plugins.conf" "$ROOT/plugins.conf"
  [[ -e $ROOT/firebird.msg ]] || ln -sf "$FB_LIBDIR/firebird.msg" "$ROOT/firebird.msg"
  # A symlinked library loads but its character sets then stay unknown,
  # hence a real copy.
  if [[ ! -f $ROOT/intl/libfbintl.so || -L $ROOT/intl/libfbintl.so ]]; then
    rm -f "$ROOT/intl/libfbintl.so"
    cp "$FB_LIBDIR/intl/libfbintl.so" "$ROOT/intl/libfbintl.so.tmp"
    mv -f "$ROOT/intl/libfbintl.so.tmp" "$ROOT/intl/libfbintl.so"
  fi
  [[ -f $ROOT/intl/fbintl.conf ]] || cp "$FB_CONFDIR/fbintl.conf" "$ROOT/intl/fbintl.conf"

  if [[ ! -f $ROOT/security3.fdb || ! -f $ROOT/.security-ok ]]; then
    build_security_db
  fi
}

# Built through the embedded engine: no server of this ROOT runs yet. A
# config limited to the embedded provider keeps isql from falling back to
# some server over TCP when the embedded attach fails.
build_security_db() {
  local conf_saved=""
  rm -f "$ROOT/security3.fdb" "$ROOT/.security-ok"
  if [[ -f $ROOT/firebird.conf ]]; then
    conf_saved=$ROOT/firebird.conf.saved
    mv -f "$ROOT/firebird.conf" "$conf_saved"
  fi
  cat >"$ROOT/firebird.conf" <<EOF
SecurityDatabase = $ROOT/security3.fdb
Providers = Engine12
EOF
  local out rc=0
  out=$(
    {
      echo "create database '$ROOT/security3.fdb' user 'SYSDBA';"
      cat "$SECURITY_SQL"
      echo "create or alter user SYSDBA password '$SYSDBA_PASSWORD';"
      echo "commit;"
    } | FIREBIRD=$ROOT FIREBIRD_LOCK=$ROOT/lock ISC_USER=SYSDBA \
        isql-fb -q -b 2>&1
  ) || rc=$?
  rm -f "$ROOT/firebird.conf"
  [[ -z $conf_saved ]] || mv -f "$conf_saved" "$ROOT/firebird.conf"
  if ((rc != 0)); then
    rm -f "$ROOT/security3.fdb"
    die 1 "building the security database in $ROOT failed: $out"
  fi
  touch "$ROOT/.security-ok"
}

# Every instance logs to the packaged log file; its folder is fixed at build
# time. A normal user cannot write there and the server just carries on
# without a log. Run as root, the server would create the file root-owned
# and lock the system service out of it, so create it the package's way.
prepare_system_log() {
  local log=/var/log/firebird/firebird3.0.log
  ((EUID == 0)) || return 0
  [[ -d ${log%/*} && ! -e $log ]] || return 0
  if id firebird >/dev/null 2>&1; then
    install -o firebird -g firebird -m 0660 /dev/null "$log" 2>/dev/null || true
  fi
}

lock_root() {
  exec 9>"$ROOT/.fb-server.lock"
  flock 9
}

cmd_start() {
  local want=$1 pid port
  lock_root

  if pid=$(running_pid); then
    port=$(cat "$ROOT/port" 2>/dev/null || true)
    if [[ $port =~ ^[0-9]+$ ]] && wait_ready "$pid" "$port"; then
      [[ $want == auto || $want == "$port" ]] ||
        say "instance of $ROOT already runs on port $port (not $want)"
      echo "$port"
      return 0
    fi
    die 1 "instance of $ROOT (pid $pid) runs but does not answer; stop it first"
  fi
  rm -f "$ROOT/server.pid"

  if [[ $want == auto ]]; then
    port=$(pick_port) || die 3 "no free loopback port in $AUTO_FIRST..$AUTO_LAST"
  else
    port=$want
    # A server on a taken port retries for ~50 s before giving up; fail now.
    port_in_use "$port" && die 3 "port $port is already in use"
  fi

  setup_root
  prepare_system_log
  write_config "$port"
  echo "$port" >"$ROOT/port"

  # setsid: own session, so the server outlives this script and its
  # terminal. fd 9 (the root lock) must not leak into it.
  FIREBIRD=$ROOT FIREBIRD_LOCK=$ROOT/lock \
    setsid "$FB_SERVER" </dev/null >"$ROOT/server.out" 2>&1 9>&- &
  pid=$!
  echo "$pid" >"$ROOT/server.pid"

  if ! wait_ready "$pid" "$port"; then
    say "server of $ROOT did not become ready on port $port; tail of server.out:"
    tail -n 20 "$ROOT/server.out" >&2 || true
    if alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
    rm -f "$ROOT/server.pid"
    exit 1
  fi
  say "started pid $pid on 127.0.0.1/$port (root $ROOT)"
  echo "$port"
}

# Polls every ~50 ms for up to ~15 s; gives up as soon as the server dies.
wait_ready() {
  local pid=$1 port=$2 i
  for ((i = 0; i < 300; i++)); do
    alive "$pid" || return 1
    server_ready "$port" && return 0
    sleep 0.05
  done
  return 1
}

cmd_stop() {
  local pid i
  [[ -d $ROOT ]] || return 0
  lock_root
  if pid=$(running_pid); then
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 100; i++)); do
      alive "$pid" || break
      sleep 0.1
    done
    if alive "$pid"; then
      say "pid $pid ignored SIGTERM; killing it"
      kill -KILL "$pid" 2>/dev/null || true
      for ((i = 0; i < 50; i++)); do
        alive "$pid" || break
        sleep 0.1
      done
    fi
    say "stopped pid $pid (root $ROOT)"
  fi
  rm -f "$ROOT/server.pid" "$ROOT/port"
}

cmd_port() {
  local port
  running_pid >/dev/null || die 1 "no instance of $ROOT is running"
  port=$(cat "$ROOT/port" 2>/dev/null || true)
  [[ $port =~ ^[0-9]+$ ]] || die 1 "port file of $ROOT is missing"
  echo "$port"
}

resolve_root() {
  local r=$1
  [[ -n $r ]] || usage
  case $2 in
    create) mkdir -p "$r" ;;
    *) [[ -d $r ]] || { ROOT=$r; return 0; } ;;
  esac
  ROOT=$(cd "$r" && pwd -P)
}

(($# >= 1)) || usage
case $1 in
  start)
    (($# == 3)) || usage
    [[ $3 == auto || ($3 =~ ^[0-9]+$ && $3 -ge 1 && $3 -le 65535) ]] ||
      die 2 "PORT must be a number or auto, not '$3'"
    resolve_root "$2" create
    cmd_start "$3"
    ;;
  stop)
    (($# == 2)) || usage
    resolve_root "$2" existing
    cmd_stop
    ;;
  port)
    (($# == 2)) || usage
    resolve_root "$2" existing
    [[ -d $ROOT ]] || die 1 "no instance of $ROOT is running"
    cmd_port
    ;;
  *) usage ;;
esac
