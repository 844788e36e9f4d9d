#!/usr/bin/env bash
# Measures the program and prints one table: measure, figure, target, met.
#
#   bash scripts/bench.sh            # the full run (about two minutes once built)
#   bash scripts/bench.sh --quick    # shorter samples, for trying the tools out
#
# It installs what is missing, builds the measuring tools natively (the host
# preset: decode_emulate_bench, wire_bench) and for Windows (the win64 preset:
# lptlcd.exe, system_bench.exe, idle_flush_probe.exe), then runs:
#   - decode_emulate_bench: records per second through decoder, emulator and
#     packet building on one core, and heap allocations per record;
#   - wire_bench: packets for a whole 20x2 rewrite;
#   - system_bench.exe under Wine, with the real lptlcd.exe between it and a
#     test display: CPU used while idle, latency of one character, packets for
#     a rewrite written one port write at a time, and how long a drain pass of
#     a full ring keeps the producer waiting;
#   - display_return_bench.exe under Wine, with the real lptlcd.exe: from
#     the display's arrival (--wait), a replug and a posted resume to the
#     repaint's last packet, a write never taken, and the producer's longest
#     port write while the display is stuck;
#   - idle_flush_probe.exe under Wine, the display worker's loop in-process:
#     its wake-ups a second while idle (it counts them itself), the wake-ups
#     and fine-timer requests an update, and a full ring decoded and queued
#     through a drain pass, with its hand-overs to the worker.
# Progress and the tools' own reports go to standard error; the machine's
# description and the table go to standard output and to build/bench/results.md.
# Wine runs in a prefix of its own, build/bench/wineprefix, whose server is
# stopped at the end. Exit status: 0 when every tool ran (whether or not the
# targets were met), 1 otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

quick=""
case "${1:-}" in
  "") ;;
  --quick) quick=1 ;;
  *) echo "usage: bash scripts/bench.sh [--quick]" >&2; exit 2 ;;
esac

say() { echo "== $*" >&2; }

bash scripts/install-deps.sh >&2

out=build/bench
mkdir -p "$out"
rows=$out/rows.tsv
results=$out/results.md
log=$out/bench.log
: >"$rows"
: >"$log"

# ---------------------------------------------------------------- build
# Two jobs at most: the machine is shared.
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -le 2 ] || jobs=2
build() {
  local preset=$1
  shift
  if ! { [ -f "build/$preset/build.ninja" ] || cmake --preset "$preset"; } >>"$out/build.log" 2>&1 ||
     ! cmake --build --preset "$preset" -j "$jobs" --target "$@" >>"$out/build.log" 2>&1; then
    tail -n 40 "$out/build.log" >&2
    echo "bench: the $preset build failed (all of it in $out/build.log)" >&2
    exit 1
  fi
}
: >"$out/build.log"
say "building the native tools (build/host)"
build host decode_emulate_bench wire_bench
say "building lptlcd.exe, system_bench.exe and idle_flush_probe.exe (build/win64)"
build win64 shipped_x86_64 system_bench idle_flush_probe display_return_bench

# ---------------------------------------------------------------- Wine
export WINEPREFIX=$root/$out/wineprefix
export WINEDEBUG=-all
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
cleanup() {
  local status=$?
  trap - EXIT INT TERM
  # Only this prefix's server, and with it the programs it still runs.
  "$wineserver" -k 2>/dev/null || true
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# ---------------------------------------------------------------- run
failed=""
# run NAME COMMAND...: the tool's rows to the table, its report to the screen
# and the log.
run() {
  local name=$1
  shift
  if ! "$@" >>"$rows" 2> >(tee -a "$log" >&2); then
    echo "bench: $name failed" >&2
    failed=1
  fi
  wait  # for tee
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
say "core throughput and heap allocations (native, Google Benchmark)"
if [ -n "$quick" ]; then
  run decode_emulate_bench build/host/bench/decode_emulate_bench --benchmark_min_time=0.1
else
  run decode_emulate_bench build/host/bench/decode_emulate_bench
fi

say "packets for a 20x2 rewrite (native)"
run wire_bench build/host/bench/wire_bench

say "Wine prefix $out/wineprefix"
# Made on the first run (several seconds), and started before measuring so
# that its own start-up is over when the measuring begins.
"$wine" wineboot --init >>"$log" 2>&1 || true
# Without a display Wine makes windows only with the null display driver, and
# lptlcd hears of a replug or a resume through a window: measured as it runs.
# The server starts again for the setting to take effect.
if ! "$wine" reg query 'HKCU\Software\Wine\Drivers' /v Graphics 2>/dev/null | grep -qi null; then
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$log" 2>&1
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w
  "$wine" wineboot >>"$log" 2>&1 || true
fi
# A quick run measures less of each.
system_quick=() probe_quick=()
if [ -n "$quick" ]; then
  system_quick=(--idle-seconds 3 --updates 200 --repetitions 2)
  probe_quick=(--idle-seconds 3 --updates 50 --repetitions 2)
fi
say "lptlcd.exe between a producer and a display (Wine)"
run system_bench "$wine" build/win64/bench/system_bench.exe "${system_quick[@]}"
say "the display worker's loop in-process (Wine)"
run idle_flush_probe "$wine" build/win64/bench/idle_flush_probe.exe "${probe_quick[@]}"
say "the display coming back: arrival, replug, resume, a stuck write (Wine)"
run display_return_bench "$wine" build/win64/bench/display_return_bench.exe
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# ---------------------------------------------------------------- table
first_line() { "$@" 2>/dev/null | head -n 1 || true; }
{
  echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores"
  echo "Kernel: $(uname -sr); Wine: $(first_line "$wine" --version)"
  echo "Compilers: $(first_line g++ --version); $(first_line x86_64-w64-mingw32-g++-posix --version)"
  echo "Load average (1, 5, 15 min): $load_before before, $load_after after"
  echo
  echo "| Measure | Figure | Target | Met |"
  echo "|---|---|---|---|"
  # The Windows tools' lines end in CR LF (their runtime's text mode).
  awk -F'\t' '{ sub(/\r$/, "") } $1 == "row" { printf "| %s | %s | %s | %s |\n", $2, $3, $4, $5 }' "$rows"
} | tee "$results"
echo >&2
say "the table is also in $results; the tools' reports in $log"
[ -z "$failed" ]
