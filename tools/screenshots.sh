#!/usr/bin/env bash
# Screenshots of the dialog under Xvfb in its three modes, into docs/:
#   dialogo.png (stand-alone), integrado-exportar.png, integrado-importar.png.
# Usage: tools/screenshots.sh [BUILD_DIR]   (needs xvfb, xdotool, x11-utils and imagemagick)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
app="$build/almadia"
out="$root/docs"
mkdir -p "$out"

display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY="$display"
sleep 1
status_dir="$(mktemp -d)"
export ALMADIA_STATUS_DIR="$status_dir"

shot() { # shot FILE WINDOW_ID
  sleep 3
  local geometry
  geometry=$(xwininfo -id "$2" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
  import -window root -crop "$geometry" +repage "$1"
}

# Stand-alone: the dialog's own window (no window manager, so no frame to capture).
"$app" -platform xcb &
pid=$!
id=$(timeout 10 bash -c 'until w=$(xdotool search --sync --name "Exportar e importar" 2>/dev/null | head -1); [ -n "$w" ]; do sleep 0.2; done; echo $w')
shot "$out/dialogo.png" "$id"
kill "$pid"; wait "$pid" 2>/dev/null || true

# Embedded: a plain X window of the same size stands for the host.
for direction in exportar importar; do
  xev -event keyboard -geometry 632x266+0+0 -name Anfitrion >/dev/null &
  host=$!
  hid=$(timeout 10 bash -c 'until w=$(xdotool search --sync --name Anfitrion 2>/dev/null | head -1); [ -n "$w" ]; do sleep 0.2; done; echo $w')
  "$app" "$direction" "$(printf '%x' "$hid")" -platform xcb &
  pid=$!
  shot "$out/integrado-$direction.png" "$hid"
  kill "$pid" "$host"; wait "$pid" "$host" 2>/dev/null || true
done
rm -rf "$status_dir"
ls -l "$out"/*.png
