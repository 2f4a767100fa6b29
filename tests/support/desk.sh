# For the tests that drive real windows, sourced by them: a work folder and the processes
# started, both gone when the test ends, and a desk of the test's own (Xvfb on the first
# free display from 90, openbox over it). The test defines fail() before start_desk.
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Sets DISPLAY, and wm to 1 when openbox runs (0: the windows are driven without one).
start_desk() {
  local display=90
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  xdotool getdisplaygeometry >/dev/null 2>&1 || fail "Xvfb did not start"
  openbox >"$work/openbox.txt" 2>&1 &
  pids+=($!)
  # The window manager is up once the root window names its check window.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
    wm=1
  else
    wm=0
    echo "note: openbox did not start, driving the windows without a window manager:" \
      "$(cat "$work/openbox.txt")"
  fi
}
