#!/usr/bin/env bash
# `make run` on a virtual X display: the window appears with the card on
# COM1, the Exit button ends the tool, the card stops and its folder goes.
# Without a display, run.sh refuses in one line.
#
# Usage: make_run_test.sh RUN_SH TOVRIK BRENLOCK_SIM
# Exit status 77 (skipped) when Xvfb is not installed.
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 RUN_SH TOVRIK BRENLOCK_SIM" >&2
  exit 2
fi
run_sh=$1
bin=$(dirname "$2")
# run.sh takes both programs from <build>/bin.
if [ "$(dirname "$3")" != "$bin" ]; then
  echo "FAIL: tovrik ($2) and brenlock-sim ($3) are not in one bin folder" >&2
  exit 1
fi
build=$(cd "$(dirname "$bin")" && pwd) || exit 1

if ! command -v Xvfb >/dev/null; then
  echo "SKIP: Xvfb is not installed (scripts/install-deps.sh)"
  exit 77
fi
command -v xdotool >/dev/null || { echo "FAIL: xdotool is not installed (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/make-run-test.XXXXXX")
xvfb="" run="" card=""

cleanup() {
  if [ -n "$run" ]; then
    # run.sh acts on a signal only once the tool has ended: end the tool
    # (and the card, should run.sh not stop it) first.
    for pid in $(children_named "$run" tovrik) $(children_named "$run" brenlock-sim) $card $run; do
      kill -TERM "$pid" 2>/dev/null
    done
    wait "$run" 2>/dev/null
  elif [ -n "$card" ]; then
    kill -TERM "$card" 2>/dev/null
  fi
  if [ -n "$xvfb" ]; then
    kill -TERM "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT HUP

fail() {
  echo "FAIL: $*" >&2
  for f in run.out run.err xvfb.err; do
    [ -s "$work/$f" ] && { echo "--- $f"; cat "$work/$f"; } >&2
  done
  exit 1
}

# The pids of PARENT's children whose command name is NAME.
children_named() {
  local stat pid comm state ppid rest
  for stat in /proc/[0-9]*/stat; do
    read -r pid comm state ppid rest <"$stat" 2>/dev/null || continue
    [ "$ppid" = "$1" ] && [ "$comm" = "($2)" ] && echo "$pid"
  done
}

# True while PID runs (a zombie has ended).
running() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

# Polls every 50 ms until the visible window titled exactly TITLE exists,
# for at most LIMIT seconds; prints its id.
find_window() {
  local title=$1 limit=$2 id start=$SECONDS
  while [ $((SECONDS - start)) -lt "$limit" ]; do
    id=$(DISPLAY=$display xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n1)
    if [ -n "$id" ]; then
      echo "$id"
      return 0
    fi
    running "$run" || return 1
    sleep 0.05
  done
  return 1
}

# Without a display: one line, a failure status, nothing started.
mkdir "$work/nodisplay"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY TOVRIK_BUILD_DIR="$build" TMPDIR="$work/nodisplay" \
  bash "$run_sh" 2>&1)
status=$?
[ "$status" -ne 0 ] || fail "run.sh without a display ended with status 0"
[ -n "$out" ] && [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] \
  || fail "run.sh without a display should print one line, printed: [$out]"
[ -z "$(ls -A "$work/nodisplay")" ] || fail "run.sh without a display left $(ls -A "$work/nodisplay")"

# A virtual display on a free number; Xvfb writes the number once it listens.
# -noreset: otherwise the server resets each time its last client (a window
# poll below) disconnects, dropping a tool that is still connecting.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.err" &
xvfb=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  running "$xvfb" || fail "Xvfb did not start"
  sleep 0.05
done
[ -s "$work/display" ] || fail "Xvfb named no display within 10 seconds"
display=":$(head -n1 "$work/display")"

mkdir "$work/tmp" "$work/runtime"
chmod 700 "$work/runtime"
# The ctest environment may choose the offscreen platform; the window must
# go to the virtual display.
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime" \
  TOVRIK_BUILD_DIR="$build" TMPDIR="$work/tmp" bash "$run_sh" >"$work/run.out" 2>"$work/run.err" &
run=$!

window=$(find_window "Brenlock Configuration" 20) || fail "no window titled \"Brenlock Configuration\" appeared"
card=$(children_named "$run" brenlock-sim)
tool=$(children_named "$run" tovrik)
[ -n "$card" ] || fail "the virtual card is not running"
[ -n "$tool" ] || fail "tovrik is not running"

shopt -s nullglob
devices=("$work/tmp"/tovrik-run.*)
shopt -u nullglob
[ "${#devices[@]}" -eq 1 ] && [ -d "${devices[0]}" ] || fail "expected one tovrik-run.* folder, found: ${devices[*]}"
devices=${devices[0]}
[ -L "$devices/com1" ] || fail "the card's link com1 is missing in $devices"
# The window opened COM1 while it loaded: the tool holds the card's device.
device=$(readlink "$devices/com1")
held=no
for fd in /proc/"$tool"/fd/*; do
  [ "$(readlink "$fd")" = "$device" ] && held=yes
done
[ "$held" = yes ] || fail "tovrik does not hold $device open"

# Exit as a technician would: Alt+E, then Return for the Yes of the question.
# There is no window manager, so give the windows the focus by hand.
DISPLAY=$display timeout 5 xdotool windowfocus --sync "$window" || fail "could not focus the main window"
DISPLAY=$display xdotool key alt+e || fail "xdotool key alt+e failed"
question=$(find_window tovrik 10) || fail "Exit asked no question"
DISPLAY=$display timeout 5 xdotool windowfocus --sync "$question" || fail "could not focus the question"
DISPLAY=$display xdotool key Return || fail "xdotool key Return failed"

start=$SECONDS
while running "$run" && [ $((SECONDS - start)) -lt 5 ]; do
  sleep 0.05
done
running "$run" && fail "run.sh still runs 5 seconds after the window closed"
wait "$run"
status=$?
run=""
[ "$status" -eq 0 ] || fail "run.sh ended with status $status"
running "$card" && fail "the virtual card still runs after run.sh ended"
card=""
[ ! -e "$devices" ] || fail "run.sh left $devices behind"
echo "PASS: the window appeared on $display with the card on $device, and Exit stopped both"
