# Shared by the reliability scripts: a display with a window manager, programs started in
# the background with their exit status kept, windows found by process, menus and message
# boxes driven with xdotool, servers and databases of the script's own.
# The sourcing script sets: build, src, work (a scratch folder of its own).

fail() { echo "$(basename "$0"): FAIL: $*" >&2; shot "fail" 2>/dev/null || true; exit 1; }
log() { echo "$(basename "$0"): $*" >&2; }

pids=()
roots=()
rel_cleanup() {
  local p r i
  # Newest first: the programs before the display they draw on.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  sleep 1
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  for r in "${roots[@]}"; do "$src/scripts/fb-server.sh" stop "$r" >/dev/null 2>&1 || true; done
}
trap rel_cleanup EXIT

# start_server ROOT [PORT]: starts (or restarts) the server of ROOT and sets $port. Not in
# a command substitution: the root must be remembered here so the exit trap stops it.
start_server() {
  local root=$1 want=${2:-auto} got
  [[ " ${roots[*]} " == *" $root "* ]] || roots+=("$root")
  got=$("$src/scripts/fb-server.sh" start "$root" "$want" 2>/dev/null) || fail "server $root did not start"
  port=$got
}
kill_server() { kill -KILL "$(<"$1/server.pid")"; }

# The scripts' texts are UTF-8, and so is this connection. (isql reads its input in the
# locale's encoding: WIN1251 bytes on its standard input lose their Cyrillic letters.)
isqlq() { isql-fb -q -ch UTF8 -user SYSDBA -password plumdrake "$1" <<<"$2" 2>&1; }
value() { isqlq "$1" "set heading off; $2" | tr -d ' \r' | grep -v '^$' | head -n 1; }

# The amounts of every converted table, summed, and the currency mark. With EXPECTED, what
# the conversion must make of them, computed while the database is still in leva.
amounts() { # NAME [expected]
  local f=${2:+EURO_BGN2EUR} state="CURRENCY from EURO_STATE"
  [[ -z ${2:-} ]] || state="'EUR' from RDB\$DATABASE"
  isqlq "$1" "set heading off;
select 'TARIFF', count(*), sum($f(FEE)), sum($f(MIN_FEE)), sum($f(MAX_FEE)) from TARIFF;
select 'INVOICES', count(*), sum($f(NET_TOTAL)), sum($f(VAT)), sum($f(TOTAL)) from INVOICES;
select 'INVOICE_LINES', count(*), sum($f(PRICE)), sum($f(AMOUNT)) from INVOICE_LINES;
select 'CASH_RECEIPTS', count(*), sum($f(AMOUNT)) from CASH_RECEIPTS;
select 'CASH_PAYMENTS', count(*), sum($f(AMOUNT)) from CASH_PAYMENTS;
select 'STATE', $state;" | grep -v '^$' | tr -s ' '
}

source "$(dirname "${BASH_SOURCE[0]}")/../support/display.sh"
start_display() { start_virtual_display 130 170 || fail "no virtual display could be started"; }

shot() { import -window root "$work/shots/$1.png"; }

# launch NAME DIR CMD...: NAME's pid in $work/NAME.pid, its exit status in $work/NAME.rc
launch() {
  local name=$1 dir=$2
  shift 2
  rm -f "$work/$name.rc" "$work/$name.pid"
  (
    cd "$dir" || exit 1
    "$@" >"$work/$name.log" 2>&1 &
    echo $! >"$work/$name.pid"
    wait $!
    echo $? >"$work/$name.rc"
  ) &
  for _ in $(seq 50); do [[ -s $work/$name.pid ]] && break; sleep 0.1; done
  pids+=("$(<"$work/$name.pid")")
}
pid_of() { cat "$work/$1.pid"; }
alive() { [[ ! -e $work/$1.rc ]] && kill -0 "$(pid_of "$1")" 2>/dev/null; }

# window NAME REGEX SECONDS: id of NAME's first visible window whose title matches
window() {
  local deadline=$((SECONDS + $3)) id
  while ((SECONDS < deadline)); do
    id=$(xdotool search --all --onlyvisible --pid "$(pid_of "$1")" --name "$2" 2>/dev/null | head -n 1 || true)
    if [[ -n $id ]]; then echo "$id"; return 0; fi
    sleep 0.2
  done
  return 1
}
# Brings a window to the front with the keyboard focus, as a click on it would.
focus() {
  xdotool windowactivate --sync "$1" 2>/dev/null || {
    xdotool windowraise "$1"
    xdotool windowfocus --sync "$1" 2>/dev/null
  } || true
  sleep 0.3
}

# pick NAME ITEM: opens "Обработки" with the mouse and clicks item 1 (1.), 2 (2.1), 3 (2.2), 4 (3.)
pick() {
  local w ys=(0 31 54 76 100)
  w=$(window "$1" '^Corvane,' 10) || fail "$1 has no main window"
  focus "$w"
  xdotool mousemove --window "$w" 45 10 click 1
  sleep 0.6
  xdotool mousemove --window "$w" 120 "${ys[$2]}" click 1
}
# box NAME SECONDS LABEL: waits for a message box of NAME, saves a screenshot, answers with
# Return (the default button: Yes, OK) and waits until it is gone
box() {
  local id gone=0 i
  id=$(window "$1" '^Corvane$' "$2") || return 1
  sleep 0.5
  shot "$3"
  # A key can reach the window before the box has the focus: answer again while this box
  # (not the next one, which may follow at once) stays.
  for i in $(seq 40); do
    if xdotool search --all --onlyvisible --pid "$(pid_of "$1")" --name '^Corvane$' 2>/dev/null | grep -qx "$id"; then
      gone=0
      if ((i % 8 == 1)); then
        focus "$id"
        xdotool key Return
      fi
    else
      gone=$((gone + 1))
      ((gone < 2)) || return 0
    fi
    sleep 0.25
  done
  fail "$3: the box did not close"
}
no_box() { ! window "$1" '^Corvane$' "$2" >/dev/null; }

# close NAME: the console's Alt+И or the monitor's Alt+F4, then the exit status; a program
# that does not end within 15 s fails the script
close_program() {
  local name=$1 w key
  for _ in 1 2 3; do
    w=$(window "$name" '^(Corvane|Vantrel),' 3) || break
    focus "$w"
    [[ $name == mon* ]] && key=alt+F4 || key=alt+Cyrillic_i
    xdotool key "$key"
    for _ in $(seq 25); do [[ -e $work/$name.rc ]] && break; sleep 0.2; done
    [[ -e $work/$name.rc ]] && break
  done
  for _ in $(seq 50); do [[ -e $work/$name.rc ]] && break; sleep 0.2; done
  [[ -e $work/$name.rc ]] || fail "$name did not end when closed"
  [[ $(<"$work/$name.rc") == 0 ]] || fail "$name ended with status $(<"$work/$name.rc")"
}
