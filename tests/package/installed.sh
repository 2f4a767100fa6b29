#!/usr/bin/env bash
# The built packages as a user meets them: both unpacked into a root of their own, the
# user's home in a temporary folder. sprrate-cli init-db --sample and sprrate-cli run
# against the unpacked velmora-term, then the unpacked program under Xvfb with openbox:
# SetUp, Setup, Save, Exit. The settings and the database must land in the user's folders
# (~/.config/sprrate, ~/.local/share/sprrate), nothing beside the programs.
# As root the programs run as nobody: root may write into any folder, and a program that
# can write beside itself keeps its settings there.
# Usage: installed.sh PACKAGE_FOLDER     (exit 77: the packages are not built, skipped)
set -euo pipefail
packages=$1

shopt -s nullglob
sprrate_deb=("$packages"/sprrate_*.deb)
term_deb=("$packages"/velmora-term_*.deb)
if [ ${#sprrate_deb[@]} -ne 1 ] || [ ${#term_deb[@]} -ne 1 ]; then
  echo "SKIPPED: the packages are not built in $packages (scripts/package builds them)"
  exit 77
fi

source "$(dirname "$0")/../support/desk.sh"
fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/*.txt; do sed "s|^|  $(basename "$f"): |" "$f" >&2; done
  exit 1
}

root="$work/root"
home="$work/home"
mkdir -p "$root" "$home" "$work/run" "$work/term"
dpkg-deb -x "${sprrate_deb[0]}" "$root"
dpkg-deb -x "${term_deb[0]}" "$root"
chmod 755 "$work"
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody "$home" "$work/run" "$work/term"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
else
  as_user=()
fi
chmod 700 "$work/run"
# The user's environment: a home of the test's own, the default folders under it, and
# no lock folder named for the database engine (the system's /tmp/firebird may be
# another user's).
run() {
  env -u XDG_CONFIG_HOME -u XDG_DATA_HOME -u QT_QPA_PLATFORM -u FIREBIRD_LOCK HOME="$home" \
    XDG_RUNTIME_DIR="$work/run" "${as_user[@]}" "$@"
}
before=$(cd "$root" && find . | sort)
bin="$root/usr/bin"
config="$home/.config/sprrate/sprrate.INI"
database="$home/.local/share/sprrate/sprrate.gdb"

# The database, made where the program will look for it.
run "$bin/sprrate-cli" init-db --sample >"$work/init.txt" 2>&1 || fail "init-db failed"
grep -qF "made the database $database with the sample reference data" "$work/init.txt" ||
  fail "init-db did not say where it made the database"
[ -f "$database" ] || fail "no database at $database"
if run "$bin/sprrate-cli" init-db >"$work/again.txt" 2>&1; then fail "init-db made it twice"; fi
grep -qF "exists already" "$work/again.txt" || fail "the second init-db did not say why"
echo "init-db: made $database, refused to make it again"

# The conversion against the unpacked stand-in on its shipped sample record.
run "$bin/velmora-term" --headless --journal "$work/term/journal.txt" \
  "$root/usr/share/velmora-term/spr-record.scn" >"$work/term.txt" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q listening "$work/term.txt" && break; sleep 0.1; done
grep -q listening "$work/term.txt" || fail "velmora-term did not start"
run "$bin/sprrate-cli" run --rate 1 >"$work/run.txt" 2>&1 || fail "sprrate-cli run failed"
grep -q '^TTI/T01/' "$work/term/journal.txt" || fail "no rate command reached the terminal"
grep -q '^TTK/T01/' "$work/term/journal.txt" || fail "no fare command reached the terminal"
echo "run: converted the record, $(grep -c . "$work/term/journal.txt") commands sent"
# The conversion's entry, in the user's own data folder.
journal="$home/.local/share/sprrate/sprrate-journal.jsonl"
[ -s "$journal" ] || fail "the run left no entry in $journal"
run "$bin/sprrate-cli" history >"$work/history.txt" 2>&1 || fail "sprrate-cli history failed"
grep -q ' converted ' "$work/history.txt" || fail "history does not show the run: $(cat "$work/history.txt")"
echo "history: the run's entry is in $journal"

# The window program: its setup dialog saves into the user's settings file.
start_desk
run "$bin/sprrate" >"$work/sprrate.txt" 2>&1 &
pids+=($!)
strip=$(timeout 60 xdotool search --sync --onlyvisible --name '^SPR rate v1\.4$' | head -n 1) ||
  fail "the strip did not open"
xdotool mousemove --window "$strip" 59 11 click 1
sleep 1
# The menu's last item is Setup.
xdotool key Up Return
setup=$(timeout 20 xdotool search --sync --onlyvisible --name '^Setup$' | head -n 1) ||
  fail "the setup dialog did not open"
press "$setup" Return
for _ in $(seq 100); do grep -q '^CURRENCYTO=' "$config" 2>/dev/null && break; sleep 0.1; done
grep -q '^CURRENCYTO=' "$config" 2>/dev/null || fail "Save did not write $config"
xdotool mousemove --window "$strip" 83 11 click 1
question=$(timeout 10 xdotool search --sync --onlyvisible --name '^SPR Rate$' | head -n 1) ||
  fail "Exit asked nothing"
press "$question" Return
for _ in $(seq 100); do grep -q '^LEFT=' "$config" && break; sleep 0.1; done
grep -q '^LEFT=' "$config" || fail "Exit did not write the strip's position into $config"
echo "sprrate: Setup saved and Exit wrote the position into $config"

after=$(cd "$root" && find . | sort)
[ "$before" = "$after" ] ||
  fail "files appeared beside the programs: $(comm -13 <(echo "$before") <(echo "$after"))"
echo "nothing was written beside the programs"
echo "1 passed, 0 failed"
