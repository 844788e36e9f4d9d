#!/usr/bin/env bash
# The demo: the whole system under Wine, with the virtual display lcdsim in
# place of the USB display and lcdfeed in place of an LCD program.
#
#   bash scripts/demo.sh
#
# It installs what is missing, builds lptlcd.exe, lcdsim.exe and lcdfeed.exe
# (the win64 preset, in build/win64), starts lcdsim, then lptlcd, and feeds a
# short session: initialisation, two lines of text, then a bar graph drawn
# with custom characters and a running time, updated for six seconds. The
# screen is shown in the terminal as it changes; the last one is written to
# build/demo/screen.png. Everything it started is stopped when it ends.
#
# Wine runs in a prefix of its own, build/demo/wineprefix (made on the first
# run, which takes a few seconds longer; reused afterwards).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh

# ---------------------------------------------------------------- build
out=build/demo
mkdir -p "$out"
echo "== building lptlcd, lcdsim and lcdfeed (x86_64 Windows, build/win64)"
jobs=$(nproc 2>/dev/null || echo 2)
build_log=$out/build.out
if ! { [ -f build/win64/build.ninja ] || cmake --preset win64; } >"$build_log" 2>&1 ||
   ! cmake --build --preset win64 -j "$jobs" --target shipped_x86_64 lcdsim lcdfeed >>"$build_log" 2>&1; then
  cat "$build_log" >&2
  echo "demo: the build failed" >&2
  exit 1
fi
bin=build/win64
lptlcd_exe=$bin/shipped-x86_64/capture/lptlcd.exe  # built as it ships
lcdsim_exe=$bin/tools/lcdsim/lcdsim.exe
lcdfeed_exe=$bin/tools/lcdfeed/lcdfeed.exe

# ---------------------------------------------------------------- Wine
rm -f "$out"/screen.png "$out"/screen.txt "$out"/packets.log "$out"/console.out "$out"/lptlcd.out "$out"/lcdfeed.out
export WINEPREFIX=$root/$out/wineprefix
export WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

sim_pid=""
lptlcd_pid=""
view_pid=""
server_started=""

# Stops everything this script started, whichever way it ends.
cleanup() {
  local status=$?
  trap - EXIT INT TERM
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    # Ctrl+C for lcdsim: it stops serving, writes its files and removes its
    # display registrations from the prefix.
    kill -INT "$sim_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
    kill -TERM "$sim_pid" 2>/dev/null || true
  fi
  if [ -n "$lptlcd_pid" ]; then
    # lptlcd runs until it is terminated.
    kill -TERM "$lptlcd_pid" 2>/dev/null || true
    wait "$lptlcd_pid" 2>/dev/null || true
  fi
  [ -z "$sim_pid" ] || wait "$sim_pid" 2>/dev/null || true
  if [ -n "$view_pid" ]; then
    # The viewer stops at this line, once it has printed everything before.
    say "== end"
    for _ in $(seq 30); do kill -0 "$view_pid" 2>/dev/null || break; sleep 0.1; done
    kill "$view_pid" 2>/dev/null || true
    wait "$view_pid" 2>/dev/null || true
  fi
  [ -z "$server_started" ] || "$wineserver" -k 2>/dev/null || true
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# One server for the whole demo, kept running between the programs and
# stopped at the end.
mkdir -p "$WINEPREFIX"
"$wineserver" -p
server_started=1
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the Wine prefix $out/wineprefix (first run only, a few seconds)"
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi
# Without a display Wine makes windows only with the null display driver, and
# lptlcd hears of a replug or a resume through a window. The server starts
# again for the setting to take effect.
if ! "$wine" reg query 'HKCU\Software\Wine\Drivers' /v Graphics 2>/dev/null | grep -qi null; then
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w
  "$wineserver" -p
  "$wine" wineboot >/dev/null 2>&1 || true
fi

# Everything shown from here on goes through one file, so that the demo's
# own lines and lcdsim's screens come out in order.
console=$out/console.out
: >"$console"
say() { printf '%s\n' "$*" >>"$console"; }

# Prints the console file as it grows, until the line "== end". On a
# terminal wide enough for a screen (124 columns) each new screen is drawn
# over the one before it, so the display seems to change in place.
show_console() {
  local line run=0 tty=0 columns=0
  if [ -t 1 ]; then
    columns=$(stty size </dev/tty 2>/dev/null | cut -d' ' -f2) || columns=0
    [ "${columns:-0}" -ge 124 ] && tty=1
  fi
  while IFS= read -r line; do
    line=${line%$'\r'}
    [ "$line" = "== end" ] && return 0
    case $line in
      "lcdsim: screen after"*)
        if [ "$tty" = 1 ] && [ "$run" -gt 0 ]; then printf '\033[%dA' "$run"; fi
        run=1
        ;;
      "┌"* | "│"* | "└"*) [ "$run" -gt 0 ] && run=$((run + 1)) ;;
      *) run=0 ;;
    esac
    if [ "$tty" = 1 ]; then printf '%s\033[K\n' "$line"; else printf '%s\n' "$line"; fi
  done
}
# Ctrl+C is left to the demo itself, which then stops the rest and lets the
# viewer print what they said.
(trap '' INT; exec tail -n +1 -s 0.1 -f --pid=$$ "$console" 2>/dev/null) | (trap '' INT; show_console) &
view_pid=$!

# ---------------------------------------------------------------- lcdsim
say "== starting the virtual display lcdsim"
# Appending, as the demo's own lines are.
"$wine" "$lcdsim_exe" --show --log "$out/packets.log" --png "$out/screen.png" \
  --text-dump "$out/screen.txt" >>"$console" 2>&1 &
sim_pid=$!

wait_for() {  # wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds
  local seconds=$1 what=$2
  shift 2
  for _ in $(seq $((seconds * 10))); do
    "$@" && return 0
    if [ -n "$sim_pid" ] && ! kill -0 "$sim_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  echo "demo: $what did not happen in $seconds s; see $out/console.out" >&2
  exit 1
}
wait_for 30 "lcdsim getting ready" grep -q "^lcdsim: ready" "$console"

# ---------------------------------------------------------------- lptlcd
say "== starting lptlcd"
"$wine" "$lptlcd_exe" >"$out/lptlcd.out" 2>&1 &
lptlcd_pid=$!
# lptlcd has found and opened the display once its first two packets (start,
# clear) are in lcdsim's log.
packets_logged() { [ -f "$out/packets.log" ] && [ "$(wc -l <"$out/packets.log")" -ge 2 ]; }
wait_for 20 "lptlcd opening the display" packets_logged
sleep 0.2
while IFS= read -r line; do say "lptlcd: ${line%$'\r'}"; done <"$out/lptlcd.out"

# ---------------------------------------------------------------- the session
# A script for lcdfeed (its commands: tools/producer/lcd_script.h). Custom
# characters 0 to 4 are bars one to five pixels wide; ten cells make a bar
# graph of 50 steps. A frame every 200 ms for six seconds.
session=$out/session.lcd
awk 'BEGIN {
  print "# written by scripts/demo.sh"
  print "init"
  print "text 0    lptlcd demo"
  print "text 1 HD44780 on USB LCD"
  print "pause 2500"
  print "char 0 10 10 10 10 10 10 10 00"
  print "char 1 18 18 18 18 18 18 18 00"
  print "char 2 1c 1c 1c 1c 1c 1c 1c 00"
  print "char 3 1e 1e 1e 1e 1e 1e 1e 00"
  print "char 4 1f 1f 1f 1f 1f 1f 1f 00"
  print "clear"
  print "text 0 Load"
  print "text 1 Time"
  for (f = 1; f <= 30; f++) {
    level = int(25 + 20 * sin(f * 0.35 + 2.7) + 0.5)   # 5 to 45 of 50 steps
    print "at 0 5"
    for (cell = 0; cell < 10; cell++) {
      fill = level - 5 * cell
      if (fill <= 0) print "data 20"
      else if (fill >= 5) print "data 04"
      else printf "data %02x\n", fill - 1
    }
    print "at 0 16"
    printf "write %3d%%\n", level * 2
    tenths = f * 2
    print "at 1 13"
    printf "write %02d:%02d.%d\n", int(tenths / 600), int(tenths / 10) % 60, tenths % 10
    print "pause 200"
  }
}' >"$session"

say "== feeding the session with lcdfeed: two lines of text, then a bar graph and a running time"
feed_status=0
"$wine" "$lcdfeed_exe" --script "$session" --wait-drained >"$out/lcdfeed.out" 2>&1 || feed_status=$?
while IFS= read -r line; do say "${line%$'\r'}"; done <"$out/lcdfeed.out"
if [ "$feed_status" -ne 0 ]; then
  echo "demo: lcdfeed failed (exit status $feed_status)" >&2
  exit 1
fi
# Everything is consumed; lptlcd sends the rest after its idle millisecond,
# and lcdsim shows it after 50 quiet ones.
sleep 0.5

# ---------------------------------------------------------------- the end
say "== stopping"
kill -INT "$sim_pid"
wait_for 10 "lcdsim stopping" grep -q "^lcdsim: stopped" "$console"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
kill -TERM "$lptlcd_pid" 2>/dev/null || true
wait "$lptlcd_pid" 2>/dev/null || true
lptlcd_pid=""
say "== end"
wait "$view_pid" 2>/dev/null || true
view_pid=""

if [ ! -s "$out/screen.png" ] || ! grep -q "^Load" "$out/screen.txt" || ! grep -q "^Time" "$out/screen.txt"; then
  echo "demo: the final screen is not the expected one; see $out/" >&2
  exit 1
fi
echo
echo "The final screen is in $out/screen.png"
echo "(its text in $out/screen.txt; every packet lptlcd sent, in $out/packets.log)"
