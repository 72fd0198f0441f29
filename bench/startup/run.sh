#!/usr/bin/env bash
# Start-up of tovrik beside the toolkit's floor (startup_floor: a bare Qt
# Widgets window with a menu bar), in turns on one X display: milliseconds
# from process start to the main window mapped, the processor time used until
# then (steadier than the clock on a busy machine) and peak resident memory,
# as medians of RUNS runs. tovrik opens COM1 on a virtual card, as in use.
#
# Usage: bench/startup/run.sh [RUNS]       (default 9; under xvfb-run when
#        there is no display). TOVRIK_BUILD_DIR names another build than build/;
#        KEEP=DIR keeps the figures of every run there.
set -euo pipefail

runs=${1:-9}
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
bin="${TOVRIK_BUILD_DIR:-$root/build}/bin"

if [ -z "${DISPLAY:-}" ]; then
  # -noreset: the server would reset whenever the last client goes, between runs.
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi
for program in startup_probe startup_floor tovrik brenlock-sim; do
  [ -x "$bin/$program" ] || { echo "run.sh: $bin/$program is missing; build first" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/startup-bench.XXXXXX")
card=""
trap '[ -n "$card" ] && kill $card 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
export PORTLINK_DEVICE_DIR=$work/dev HOME=$work XDG_RUNTIME_DIR=$work/runtime
"$bin/brenlock-sim" --com 1 >/dev/null &
card=$!
for _ in $(seq 100); do [ -L "$work/dev/com1" ] && break; sleep 0.05; done
[ -L "$work/dev/com1" ] || { echo "run.sh: the virtual card did not start" >&2; exit 1; }

cd "$work" # the tool's log goes here
: >floor.txt
: >tovrik.txt
"$bin/startup_probe" "Startup floor" 300 "$bin/startup_floor" >/dev/null # warm the file cache
"$bin/startup_probe" "Brenlock Configuration" 300 "$bin/tovrik" >/dev/null
for _ in $(seq "$runs"); do
  "$bin/startup_probe" "Startup floor" 300 "$bin/startup_floor" >>floor.txt
  "$bin/startup_probe" "Brenlock Configuration" 300 "$bin/tovrik" >>tovrik.txt
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { cut -d' ' -f"$1" "$2" | median; }
echo "median of $runs runs each, taken in turns"
awk -v fms="$(column 1 floor.txt)" -v fcpu="$(column 2 floor.txt)" -v fkb="$(column 3 floor.txt)" \
    -v tms="$(column 1 tovrik.txt)" -v tcpu="$(column 2 tovrik.txt)" -v tkb="$(column 3 tovrik.txt)" 'BEGIN {
  printf "%-14s %16s %16s %14s\n", "", "start to shown", "processor time", "peak RSS"
  printf "%-14s %13.1f ms %13.1f ms %10.1f MiB\n", "floor", fms, fcpu, fkb / 1024
  printf "%-14s %13.1f ms %13.1f ms %10.1f MiB\n", "tovrik", tms, tcpu, tkb / 1024
  printf "%-14s %15.3fx %15.3fx %13.3fx\n", "tovrik/floor", tms / fms, tcpu / fcpu, tkb / fkb
}'
