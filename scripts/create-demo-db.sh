#!/usr/bin/env bash
# Creates the demo notary database DEST_DIR/Tarvel.FDB on the Firebird
# server at 127.0.0.1/PORT (e.g. one started by fb-server.sh), replacing an
# existing one, and copies the new report templates (*.fr3) next to it.
# Prints the connection name, 127.0.0.1/PORT:/abs/DEST_DIR/Tarvel.FDB.
#
#   create-demo-db.sh DEST_DIR PORT
#
# Environment: DEMO_INVOICES=N generates N invoices instead of 200000
# (payments: N/10); small databases make quick tests, the full size makes
# the conversion run for several seconds.
set -euo pipefail

readonly SYSDBA_PASSWORD=plumdrake
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
readonly DB_SRC=$here/../db

prog=$(basename "$0")
say() { echo "$prog: $*" >&2; }
die() { say "$*"; exit 1; }

(($# == 2)) || { echo "usage: $prog DEST_DIR PORT" >&2; exit 2; }
[[ $2 =~ ^[0-9]+$ ]] || die "PORT must be a number, not '$2'"
port=$2
if [[ -n ${DEMO_INVOICES:-} && ! $DEMO_INVOICES =~ ^[0-9]+$ ]]; then
  die "DEMO_INVOICES must be a number, not '$DEMO_INVOICES'"
fi

mkdir -p "$1"
dest=$(cd "$1" && pwd -P)
db=$dest/Tarvel.FDB
conn=127.0.0.1/$port:$db
sql_db=${db//\'/\'\'}

isql() {
  isql-fb -q -b -ch WIN1251 -user SYSDBA -password "$SYSDBA_PASSWORD" "$@"
}
svc() {
  fbsvcmgr "127.0.0.1/$port:service_mgr" -user SYSDBA -password "$SYSDBA_PASSWORD" "$@"
}

t_start=${EPOCHREALTIME/[.,]/}

# Through the server, which may own the file and may still have it cached.
# A file the server cannot open as a database is just removed; one that is
# still in use by someone is left alone.
if [[ -e $db ]]; then
  if ! out=$(echo "drop database;" | isql "$conn" 2>&1); then
    if echo "quit;" | isql "$conn" >/dev/null 2>&1; then
      die "cannot drop $db (still in use?): $out"
    fi
    rm -f "$db" || die "cannot remove $db"
  fi
fi

echo "create database '127.0.0.1/$port:$sql_db' user 'SYSDBA' password '$SYSDBA_PASSWORD'
  page_size 8192 default character set WIN1251;" | isql -sql_dialect 3 ||
  die "cannot create $conn"

# No synchronous writes during the bulk load; back on at the end so the
# demo behaves like an office's database.
svc -action_properties -dbname "$db" -prp_write_mode prp_wm_async >/dev/null

# The scripts are kept in UTF-8; the connection and the database speak WIN1251.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for src in "$DB_SRC"/[0-9]*.sql; do
  name=$(basename "$src")
  {
    if [[ -n ${DEMO_INVOICES:-} ]]; then
      printf 'SET TERM ^ ;\nEXECUTE BLOCK AS DECLARE D INTEGER; BEGIN D = RDB$SET_CONTEXT('\''USER_SESSION'\'', '\''DEMO_INVOICES'\'', '\''%s'\''); END^\nSET TERM ; ^\n' "$DEMO_INVOICES"
    fi
    iconv -f UTF-8 -t WINDOWS-1251 "$src"
  } >"$tmp/$name" || die "cannot convert $name to WIN1251"
  if ! out=$(isql -i "$tmp/$name" "$conn" 2>&1); then
    printf '%s\n' "$out" | iconv -f WINDOWS-1251 -t UTF-8 >&2 || true
    die "$name failed"
  fi
done

svc -action_properties -dbname "$db" -prp_write_mode prp_wm_sync >/dev/null

cp "$DB_SRC"/templates/*.fr3 "$dest"/

elapsed_ms=$(( (${EPOCHREALTIME/[.,]/} - t_start) / 1000 ))
say "created $conn in $((elapsed_ms / 1000)).$(printf '%03d' $((elapsed_ms % 1000))) s"
echo "$conn"
