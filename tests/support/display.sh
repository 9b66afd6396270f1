# Sourced by the real-window scripts: a virtual display of their own with a window manager,
# so that windows are activated and maximised as on a desktop.
# start_virtual_display FIRST LAST: takes the first free display number in FIRST..LAST,
# exports DISPLAY, appends the Xvfb and openbox pids to the caller's `pids` array.
# Returns non-zero when Xvfb does not answer.
start_virtual_display() {
  local n display=""
  for n in $(seq "$1" "$2"); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    display=:$n
    break
  done
  [[ -n $display ]] || return 1
  Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=$display
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 || return 1
  openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
}
