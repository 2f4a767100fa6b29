#!/usr/bin/env bash
# The program in a real window system (Xvfb with openbox), driven as an agent drives it:
# a message box closed leaves it running; Exit with OK in "Close Application?" ends the
# process (and the next start opens its strip); SIGTERM and SIGINT end it through the
# normal shutdown once the database is open (position written, the embedded database
# free for another program).
# Usage: exit_and_signals.sh SPRRATE MAKE_REFDB
set -euo pipefail
program=$1
make_refdb=$2

source "$(dirname "$0")/../support/desk.sh"
fail() {
  echo "FAIL: $*" >&2
  # What the program printed and which windows were up, to tell a slow start from a
  # start that failed or opened something else.
  [ -s "$work/out.txt" ] && sed 's/^/  program: /' "$work/out.txt" >&2
  if [ -n "${DISPLAY:-}" ]; then
    xwininfo -root -tree 2>&1 | grep '"' | sed 's/^/  window: /' >&2 || true
  fi
  exit 1
}

start_desk

mkdir -p "$work/bin" "$work/data" "$work/run"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR="$work/run"
unset QT_QPA_PLATFORM
cp "$program" "$work/bin/sprrate"
"$make_refdb" --sample "$work/data/sprrate.gdb" >/dev/null
ini="$work/bin/sprrate.INI"

start() {
  rm -f "$ini"
  "$work/bin/sprrate" >"$work/out.txt" 2>&1 &
  sprrate=$!
  pids+=("$sprrate")
  strip=$(timeout 60 xdotool search --sync --onlyvisible --name '^SPR rate v1\.4$' | head -n 1) ||
    fail "the strip did not open ($1; the program $(kill -0 "$sprrate" 2>/dev/null &&
      echo 'still runs' || echo 'has ended'))"
}

# Waits up to 15 s for the program to end; its exit status in $status.
ended() {
  for _ in $(seq 150); do
    if ! kill -0 "$sprrate" 2>/dev/null; then
      wait "$sprrate" && status=0 || status=$?
      return 0
    fi
    sleep 0.1
  done
  return 1
}

click() { # x y inside the strip
  xdotool mousemove --window "$strip" "$1" "$2" click 1
}

# Run without a terminal: its message, answered with Enter, must leave the program
# running (a closed message box is no reason to end).
start message
click 11 11
box=$(timeout 20 xdotool search --sync --onlyvisible --name '^SPR Rate$' | head -n 1) ||
  fail "Run without a terminal said nothing"
press "$box" Return
sleep 1
kill -0 "$sprrate" 2>/dev/null || fail "closing a message box ended the program"
echo "Message: closing it left the program running"

# Exit, then OK (the question's default button).
click 83 11
question=$(timeout 10 xdotool search --sync --onlyvisible --name '^SPR Rate$' | head -n 1) ||
  fail "Exit asked nothing"
press "$question" Return
ended || fail "Exit with OK left the program running"
[ "$status" -eq 0 ] || fail "Exit ended with status $status"
grep -q '^LEFT=' "$ini" || fail "Exit did not write the strip's position"
echo "Exit: the program ended (status 0) and wrote its position"

for signal in TERM INT; do
  start "$signal"
  # SetUp opens the database and the menu; Escape closes the menu.
  click 59 11
  sleep 2
  xdotool key Escape
  sleep 0.5
  kill -0 "$sprrate" || fail "the program died at SetUp"
  kill -"$signal" "$sprrate"
  ended || fail "SIG$signal left the program running once the database was open"
  [ "$status" -eq 0 ] || fail "SIG$signal ended with status $status"
  grep -q '^LEFT=' "$ini" || fail "SIG$signal did not write the strip's position"
  echo 'select count(*) from FARE_CURRENCY;' |
    isql-fb -q "$work/data/sprrate.gdb" >"$work/isql.txt" 2>&1 ||
    fail "after SIG$signal the database is still held: $(cat "$work/isql.txt")"
  echo "SIG$signal: the program ended (status 0), wrote its position and left the database free"
done
echo "1 passed, 0 failed"
