#!/usr/bin/env bash
# Draws the main window and the logging dialog into docs/ (form1.png and
# form2.png), offscreen, from the default build. Usage: scripts/screenshots.sh [FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs}"
cmake --build --preset default --target screenshots >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$root/build/bin/screenshots" "$out"
echo "Wrote $out/form1.png and $out/form2.png"
