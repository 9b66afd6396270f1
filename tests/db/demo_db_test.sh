#!/usr/bin/env bash
# Checks the demo notary database and its changeover procedures against a
# running private Firebird instance.
#
#   FB_TEST_ROOT=/path/to/instance tests/db/demo_db_test.sh SCRATCH_DIR
#
# FB_TEST_ROOT is a root started by scripts/fb-server.sh (its port is read
# from FB_TEST_ROOT/port). Databases are created under SCRATCH_DIR.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
create_db=$here/../../scripts/create-demo-db.sh

: "${FB_TEST_ROOT:?set FB_TEST_ROOT to a running fb-server.sh instance}"
(($# == 1)) || { echo "usage: FB_TEST_ROOT=... $0 SCRATCH_DIR" >&2; exit 2; }
port=$(<"$FB_TEST_ROOT/port")
mkdir -p "$1"
scratch=$(cd "$1" && pwd -P)
work=$(mktemp -d "$scratch/run.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
ok() { echo "ok - $1"; }
fail() { echo "FAIL - $1" >&2; failures=$((failures + 1)); }
# expect NAME EXPECTED ACTUAL
expect() {
  if [[ $2 == "$3" ]]; then ok "$1"; else
    fail "$1"; printf '  expected: %s\n  actual:   %s\n' "$2" "$3" >&2
  fi
}
# expect_contains NAME NEEDLE HAYSTACK
expect_contains() {
  if [[ $3 == *"$2"* ]]; then ok "$1"; else
    fail "$1"; printf '  expected to contain: %s\n  actual: %s\n' "$2" "$3" >&2
  fi
}

# sql CONN STATEMENTS: runs them as the programs connect (WIN1251), prints
# the result rows in UTF-8 without headings or padding; fails like isql.
sql() {
  local conn=$1 rc=0
  shift
  printf 'SET HEADING OFF;\n%s\n' "$*" | iconv -f UTF-8 -t WINDOWS-1251 >"$work/q.sql"
  isql-fb -q -b -ch WIN1251 -user SYSDBA -password plumdrake -i "$work/q.sql" "$conn" \
    >"$work/q.out" 2>&1 || rc=$?
  iconv -f WINDOWS-1251 -t UTF-8 "$work/q.out" |
    sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e '/^$/d'
  # Under set -e a failed $(sql ...) ends the script; show why.
  ((rc == 0)) || iconv -f WINDOWS-1251 -t UTF-8 "$work/q.out" | sed 's/^/  isql: /' >&2
  return "$rc"
}

# sql_error CONN STATEMENTS: for calls that must fail; prints the error
# text and succeeds only if isql failed.
sql_error() {
  local conn=$1
  shift
  printf 'SET HEADING OFF;\n%s\n' "$*" | iconv -f UTF-8 -t WINDOWS-1251 >"$work/q.sql"
  if isql-fb -q -b -ch WIN1251 -user SYSDBA -password plumdrake -i "$work/q.sql" "$conn" \
    >"$work/q.out" 2>&1; then
    return 1
  fi
  iconv -f WINDOWS-1251 -t UTF-8 "$work/q.out"
}

# Leva to euro cents, half away from zero, in integers (exact in awk's
# doubles for these magnitudes): an independent oracle for EURO_BGN2EUR.
to_eur() {
  awk '{
    if ($2 == "<null>") { print $1, "<null>"; next }
    s = $2; neg = (s ~ /^-/); sub(/^-/, "", s)
    split(s, p, "."); c = p[1] * 100 + p[2]
    n = c * 200000 + 195583; e = (n - n % 391166) / 391166
    printf "%s %s%d.%02d\n", $1, (neg && e ? "-" : ""), int(e / 100), e % 100
  }'
}

amount_sample() {
  # Rows on both sides of the conversion's 5000-row batch borders, and a
  # spread of others, from every amount table and column.
  sql "$1" "
select 'T' || id, fee from TARIFF order by id;
select 'I' || id || 'n', net_total from INVOICES where mod(id, 997) = 0 or mod(id, 5000) in (0, 1) order by id;
select 'I' || id || 'v', vat from INVOICES where mod(id, 997) = 0 or mod(id, 5000) in (0, 1) order by id;
select 'I' || id || 't', total from INVOICES where mod(id, 997) = 0 or mod(id, 5000) in (0, 1) order by id;
select 'L' || id || 'p', price from INVOICE_LINES where mod(id, 1999) = 0 or mod(id, 5000) in (0, 1) order by id;
select 'L' || id || 'a', amount from INVOICE_LINES where mod(id, 1999) = 0 or mod(id, 5000) in (0, 1) order by id;
select 'R' || id, amount from CASH_RECEIPTS where mod(id, 997) = 0 or mod(id, 5000) in (0, 1) order by id;
select 'P' || id, amount from CASH_PAYMENTS where id <= 8 or mod(id, 97) = 0 order by id;" |
    awk '{ print $1, $2 }'
}

# Sums and counts of every amount column: any change to any amount shows.
amount_fingerprint() {
  sql "$1" "
select count(*), sum(fee), sum(min_fee), sum(max_fee) from TARIFF;
select count(*), sum(net_total), sum(vat), sum(total) from INVOICES;
select count(*), sum(price), sum(amount) from INVOICE_LINES;
select count(*), sum(amount) from CASH_RECEIPTS;
select count(*), sum(amount), count(amount) from CASH_PAYMENTS;"
}

known_payments() {
  sql "$1" "select id || ' ' || coalesce(cast(amount as varchar(20)), 'NULL') from CASH_PAYMENTS where id <= 8 order by id;" |
    tr '\n' ' '
}

log_count() {
  # isql opens a snapshot at connect; end it before choosing read committed.
  sql "$1" "COMMIT;
SET TRANSACTION NO WAIT ISOLATION LEVEL READ COMMITTED RECORD_VERSION;
select count(*) from EURO_LOG;
commit;"
}

readonly ALREADY_EUR='Базата данни вече е в евро. Повторно превалутиране не се допуска.'

# ---------------------------------------------------------------- small db
small_dir=$work/small
conn=$(DEMO_INVOICES=300 "$create_db" "$small_dir" "$port")
expect "create prints the connection name" "127.0.0.1/$port:$small_dir/Tarvel.FDB" "$conn"
for t in BILLBEFORE INVOICE IORDER EORDER; do
  if cmp -s "$here/../../db/templates/$t.fr3" "$small_dir/$t.fr3"; then
    ok "template $t.fr3 copied"; else fail "template $t.fr3 copied"; fi
done

sql "$conn" "insert into EURO_LOG (LOG_MSG) values ('маркер'); commit;" >/dev/null
conn=$(DEMO_INVOICES=300 "$create_db" "$small_dir" "$port")
expect "second create replaces the database" "0" "$(sql "$conn" "select count(*) from EURO_LOG;")"

# Texts must arrive as characters, not just as bytes that round-trip: read
# them once through a UTF8 connection too.
expect "FIRMA row over WIN1251" "4711|Нотариална кантора „Старата порта“|Пловдив" \
  "$(sql "$conn" "select id || '|' || name || '|' || grad from FIRMA;")"
utf8_name=$(echo "SET HEADING OFF; select name from FIRMA;" |
  isql-fb -q -ch UTF8 -user SYSDBA -password plumdrake "$conn" | sed -e 's/^[[:space:]]*//' -e 's/[[:space:]]*$//' -e '/^$/d')
expect "FIRMA name over UTF8" "Нотариална кантора „Старата порта“" "$utf8_name"
expect "REPORTS rows" "BILLBEFORE EORDER INVOICE IORDER REGISTER TARIFFLIST" \
  "$(sql "$conn" "select id from REPORTS order by id;" | tr '\n' ' ' | sed 's/ $//')"
expect_contains "old INVOICE template is in leva" 'Currency="BGN"' \
  "$(sql "$conn" "select cast(substring(descr from 1 for 120) as varchar(120) character set win1251) from REPORTS where id = 'INVOICE';" | tr '\n' ' ')"

expect "troubleshooter on consistent data" "Няма открити разлики" \
  "$(sql "$conn" "select ARESULT from EURO_TROUBLESHOOTER; commit;")"
out=$(sql "$conn" "update INVOICES set total = total + 0.07 where id = 1; commit;
select ARESULT from EURO_TROUBLESHOOTER; commit;
select case when total = net_total + vat then 'restored' else 'wrong' end from INVOICES where id = 1;")
expect "troubleshooter corrects one invoice" "Коригирани фактури: 1; разлика общо: 0.07 лв.
restored" "$out"

before=$(amount_fingerprint "$conn")
if out=$(sql_error "$conn" "select ARESULT from EURO_CONVERSION('BGN', 1);"); then
  expect_contains "currency other than EUR is refused" "Неподдържана валута „BGN“" "$out"
else
  fail "currency other than EUR is refused"
fi

out=$(sql "$conn" "select ARESULT from EURO_CONVERSION('EUR', 0);
select currency || ' ' || conversion_mode from EURO_STATE;")
expect "AFULL=0 marks the database as in euro" "Базата данни е в евро. Превалутирани записи: 0
EUR 0" "$out"
expect "AFULL=0 leaves all amounts untouched" "$before" "$(amount_fingerprint "$conn")"
if out=$(sql_error "$conn" "select ARESULT from EURO_CONVERSION('EUR', 0);"); then
  expect_contains "AFULL=0 twice is refused" "$ALREADY_EUR" "$out"
else
  fail "AFULL=0 twice is refused"
fi
if out=$(sql_error "$conn" "select ARESULT from EURO_CONVERSION('EUR', 1);"); then
  expect_contains "AFULL=1 after AFULL=0 is refused" "$ALREADY_EUR" "$out"
else
  fail "AFULL=1 after AFULL=0 is refused"
fi
expect "refused calls leave amounts untouched" "$before" "$(amount_fingerprint "$conn")"

sql "$conn" "insert into EURO_TEST_HOOK (PROC_NAME, DELAY_MS, FAIL_MESSAGE)
values ('EURO_TROUBLESHOOTER', 600, 'Тестова грешка'); commit;" >/dev/null
if out=$(sql_error "$conn" "select ARESULT from EURO_TROUBLESHOOTER;"); then
  expect_contains "test hook makes the procedure fail" "Тестова грешка" "$out"
else
  fail "test hook makes the procedure fail"
fi
expect "test hook waits, logging" "2" \
  "$(sql "$conn" "select count(*) from EURO_LOG where log_msg starting with 'EURO_TROUBLESHOOTER: изчакване';")"

# ------------------------------------------------- preparation, then switch
# After a quantity change, the line triggers must have recomputed both the
# line's amount and its invoice's totals.
line1_recomputed="select iif(l.amount = l.qty * l.price
  and i.net_total = (select sum(amount) from INVOICE_LINES where invoice_id = 1)
  and i.total = i.net_total + i.vat, 'recomputed', 'stale')
  from INVOICE_LINES l join INVOICES i on i.id = l.invoice_id where l.id = 1;"
ready_dir=$work/ready
conn=$(DEMO_INVOICES=300 "$create_db" "$ready_dir" "$port")
active_amount_triggers="select count(*) from RDB\$TRIGGERS r join EURO_AMOUNT_TABLES t on t.table_name = r.rdb\$relation_name where r.rdb\$trigger_inactive = 0 and coalesce(r.rdb\$system_flag, 0) = 0;"
out=$(sql "$conn" "select RESULT from EURO_READINESS(1, 1); commit;
$active_amount_triggers
select count(*) from EURO_DISABLED_TRIGGERS;
select coalesce(cast(amount as varchar(20)), 'NULL') from CASH_PAYMENTS where id = 8;")
expect "readiness fills NULL amounts and disables the triggers" \
  "Попълнени празни суми: 1; преизчислени суми: 0; изключени тригери: 6
0
6
0.00" "$out"
expect_contains "readiness logs per trigger" "Изключен тригер INVOICE_LINES_AIUD на таблица INVOICE_LINES" \
  "$(sql "$conn" "select log_msg from EURO_LOG order by log_id;")"
out=$(sql "$conn" "select ARESULT from EURO_CONVERSION('EUR', 1); commit;
$active_amount_triggers
select count(*) from EURO_DISABLED_TRIGGERS;
select amount from CASH_PAYMENTS where id = 1;")
expect "conversion after readiness switches the triggers back on" \
  "Базата данни е в евро. Превалутирани записи: 1556
6
0
613.77" "$out"
out=$(sql "$conn" "update INVOICE_LINES set qty = qty + 1 where id = 1; commit;
$line1_recomputed")
expect "line trigger works again after the switch" "recomputed" "$out"

# A fresh AFULL=0 followed, in the same transaction, by a line edit: the
# bulk flag of the call must not leak into the caller's transaction.
new_dir=$work/new
conn=$(DEMO_INVOICES=300 "$create_db" "$new_dir" "$port")
out=$(sql "$conn" "select ARESULT from EURO_CONVERSION('EUR', 0);
update INVOICE_LINES set qty = qty + 1 where id = 1;
$line1_recomputed
rollback;")
expect "triggers work in the caller's transaction after the call" \
  "Базата данни е в евро. Превалутирани записи: 0
recomputed" "$out"

# ----------------------------------------------------- full demo database
full_dir=$work/full
conn=$("$create_db" "$full_dir" "$port")
expect "full demo size" "200000 600000" \
  "$(sql "$conn" "select count(*) from INVOICES; select count(*) from INVOICE_LINES;" | tr '\n' ' ' | sed 's/ $//')"
expect "known payments in leva" \
  "1 1200.42 2 41.18 3 134.61 4 0.01 5 1955.83 6 -134.61 7 100.00 8 NULL " "$(known_payments "$conn")"
sample_bgn=$(amount_sample "$conn")
expect "troubleshooter finds the leva data consistent" "Няма открити разлики" \
  "$(sql "$conn" "select ARESULT from EURO_TROUBLESHOOTER; commit;")"
sql "$conn" "delete from EURO_LOG; commit;" >/dev/null

# The switch in the background; another connection polls the log meanwhile,
# as the log monitor does.
printf 'select ARESULT from EURO_CONVERSION('"'EUR'"', 1);\ncommit;\n' >"$work/conv.sql"
isql-fb -q -b -ch WIN1251 -user SYSDBA -password plumdrake -i "$work/conv.sql" "$conn" \
  >"$work/conv.out" 2>&1 &
conv_pid=$!
seen=()
while kill -0 "$conv_pid" 2>/dev/null; do
  n=$(log_count "$conn" || echo err)
  # Only counts taken while the call is still running count.
  kill -0 "$conv_pid" 2>/dev/null && seen+=("$n")
  sleep 0.1
done
conv_rc=0
wait "$conv_pid" || conv_rc=$?
final=$(log_count "$conn")
expect "conversion succeeds" "0" "$conv_rc"
rising=$(printf '%s\n' "${seen[@]}" | awk -v f="$final" '$1 ~ /^[0-9]+$/ && $1 > 0 && $1 < f' | sort -nu | wc -l)
if ((rising >= 2)); then
  ok "log lines visible to another connection during the call ($rising distinct counts before $final)"
else
  fail "log lines visible to another connection during the call"
  echo "  counts while running: ${seen[*]:-none}; final: $final" >&2
fi
expect "each log line has its own time" "1" \
  "$(sql "$conn" "select iif(count(distinct log_ts) > count(*) / 2, 1, 0) from EURO_LOG;")"

expect "known payments in euro (half-up boundaries)" \
  "1 613.77 2 21.05 3 68.83 4 0.01 5 1000.00 6 -68.83 7 51.13 8 NULL " "$(known_payments "$conn")"
expected_eur=$(printf '%s\n' "$sample_bgn" | to_eur)
sample_eur=$(amount_sample "$conn")
if [[ $sample_eur == "$expected_eur" ]]; then
  ok "sampled amounts of every table converted exactly once ($(wc -l <<<"$sample_eur") values)"
else
  fail "sampled amounts of every table converted exactly once"
  diff <(printf '%s\n' "$expected_eur") <(printf '%s\n' "$sample_eur") | head -20 >&2 || true
fi

if out=$(sql_error "$conn" "select ARESULT from EURO_CONVERSION('EUR', 1);"); then
  expect_contains "second conversion is refused" "$ALREADY_EUR" "$out"
else
  fail "second conversion is refused"
fi
expect "second conversion leaves amounts untouched" "$sample_eur" "$(amount_sample "$conn")"

out=$(sql "$conn" "select ARESULT from EURO_TROUBLESHOOTER; commit;")
if [[ $out =~ ^Коригирани\ фактури:\ [1-9][0-9]*\;\ разлика\ общо:\ [0-9]+\.[0-9]{2}\ EUR$ ]]; then
  ok "troubleshooter reports its corrections: $out"
else
  fail "troubleshooter reports its corrections"; echo "  $out" >&2
fi
expect "troubleshooter leaves nothing to correct" "Няма открити разлики" \
  "$(sql "$conn" "select ARESULT from EURO_TROUBLESHOOTER; commit;")"

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
