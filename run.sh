#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quenlo. Without a display the
# program runs on a virtual one (Xvfb); a screenshot of it is saved and the
# program keeps running until Ctrl+C.
#
#   ./run.sh        the program, for your television
#   ./run.sh demo   the program with a simulated television on 127.0.0.2:5555
set -euo pipefail
cd "$(dirname "$0")"
mode="${1:-}"
scripts/deps.sh
scripts/build.sh

pids=()
cleanup() {
  set +e
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  if [ "$mode" = demo ]; then adb kill-server >/dev/null 2>&1 || true; fi
  true
}
trap cleanup EXIT
trap 'exit 0' INT TERM

program=build/bin/quenlo
if [ "$mode" = demo ]; then
  # A run directory of its own: the program, its interpreter, and a
  # configuration that points at the simulated television.
  demo="$PWD/build/demo"
  mkdir -p "$demo"
  cp build/bin/quenlo build/bin/quenlo-cmd "$demo/"
  if [ ! -e "$demo/config.xml" ]; then
    LC_ALL=C sed 's/ip="192\.168\.1\.7"/ip="127.0.0.2"/' tests/fixtures/config/default_config.xml > "$demo/config.xml"
  fi
  # An adb server of the demo's own, ended with it.
  export ANDROID_ADB_SERVER_PORT=5137
  build/bin/tvsim --listen 127.0.0.2 --port 5555 --state "$demo/tv-state.json" &
  pids+=($!)
  echo "Simulated television listening on 127.0.0.2:5555 (state in $demo/tv-state.json)."
  program="$demo/quenlo"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$program" &
  pids+=($!)
  wait "${pids[-1]}"
  exit 0
fi

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
# A display number nobody uses.
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done

"$program" &
app=$!
pids=("$app" "${pids[@]}")
sleep 3
shot="$PWD/build/quenlo-screenshot.png"
if build/bin/quenlo-screenshot "$shot"; then
  echo "No display: Quenlo runs on the virtual display $DISPLAY. Screenshot saved to $shot"
else
  echo "No display: Quenlo runs on the virtual display $DISPLAY (the screenshot failed)."
fi
echo "Press Ctrl+C to end it."
wait "$app"
