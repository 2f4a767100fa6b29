# For the tests that drive real windows, sourced by them: a work folder and the processes
# started, both gone when the test ends, and a desk of the test's own (Xvfb on the first
# free display, openbox over it). The test defines fail() before start_desk.
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Sets DISPLAY, and wm to 1 when openbox runs (0: the windows are driven without one).
# Xvfb takes the first free display itself and names it once it accepts clients, so two
# tests starting at once never share a display.
start_desk() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display.txt" \
    >"$work/xvfb.txt" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ "$(wc -l <"$work/display.txt")" -ge 1 ] && break; sleep 0.1; done
  [ "$(wc -l <"$work/display.txt")" -ge 1 ] || fail "Xvfb did not start: $(cat "$work/xvfb.txt")"
  export DISPLAY=":$(head -n 1 "$work/display.txt")"
  xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb on $DISPLAY takes no clients"
  # The window manager is up once the root window names its check window; one that ends
  # at its start is started once more.
  wm=0
  for _ in 1 2 3; do
    openbox >>"$work/openbox.txt" 2>&1 &
    local openbox=$!
    pids+=($openbox)
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { wm=1; break; }
      kill -0 "$openbox" 2>/dev/null || break
      sleep 0.1
    done
    [ "$wm" -eq 1 ] && break
  done
  if [ "$wm" -eq 0 ]; then
    echo "note: openbox did not start, driving the windows without a window manager:" \
      "$(cat "$work/openbox.txt")"
  fi
}

# Gives a window the keyboard focus, then sends it a key (without a window manager, to the
# window under the pointer, given the focus by hand).
press() { # window key...
  local window=$1
  shift
  if [ "$wm" -eq 1 ]; then
    xdotool windowactivate --sync "$window" key "$@"
  else
    xdotool mousemove --window "$window" 5 5 windowfocus --sync "$window" key "$@"
  fi
}
