#!/usr/bin/env bash
# `make run`: opens the tool with a virtual card on COM1, in a private device
# folder, and stops the card when the window closes. TOVRIK_BUILD_DIR names
# another build folder than build/.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bin="${TOVRIK_BUILD_DIR:-$root/build}/bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "make run: no display (DISPLAY and WAYLAND_DISPLAY are empty); run it in a desktop session or under xvfb-run" >&2
  exit 1
fi
for program in brenlock-sim tovrik; do
  if [ ! -x "$bin/$program" ]; then
    echo "make run: $bin/$program is missing; build first (make build)" >&2
    exit 1
  fi
done

devices="$(mktemp -d "${TMPDIR:-/tmp}/tovrik-run.XXXXXX")"
card=""
finish() {
  if [ -n "$card" ]; then
    kill -TERM "$card" 2>/dev/null || true
    wait "$card" 2>/dev/null || true
  fi
  rm -rf "$devices"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

PORTLINK_DEVICE_DIR="$devices" "$bin/brenlock-sim" --com 1 --state "$devices/card.json" &
card=$!

# The card creates its link last, once it is ready.
for _ in $(seq 100); do
  [ -L "$devices/com1" ] && break
  if ! kill -0 "$card" 2>/dev/null; then
    card=""
    echo "make run: the virtual card did not start" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -L "$devices/com1" ]; then
  echo "make run: the virtual card did not make COM1 within 5 seconds" >&2
  exit 1
fi
echo "make run: the tool logs the card's answers to $(cd "$bin/.." && pwd)/TovrikLog.txt; the card's stored configuration is in $devices/card.json while the window is open"

# From the build folder, so that the tool's log of the card's answers
# (TovrikLog.txt) stays out of the sources and is kept after the run.
status=0
(cd "$bin/.." && PORTLINK_DEVICE_DIR="$devices" exec "$bin/tovrik" "$@") || status=$?
exit "$status"
