#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quenlo. Without a display the
# program runs on a virtual one (Xvfb); a screenshot of it is saved and the
# program keeps running until Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/quenlo
fi

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
# A display number nobody uses.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null
  kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  true
}
trap cleanup EXIT
trap 'exit 0' INT TERM
export DISPLAY=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

build/bin/quenlo &
app=$!
sleep 3
shot="$PWD/build/quenlo-screenshot.png"
if build/bin/quenlo-screenshot "$shot"; then
  echo "No display: Quenlo runs on the virtual display $DISPLAY. Screenshot saved to $shot"
else
  echo "No display: Quenlo runs on the virtual display $DISPLAY (the screenshot failed)."
fi
echo "Press Ctrl+C to end it."
wait "$app"
