# Sourced by the scripts that run tests or benchmarks: a private runtime
# directory (removed on exit) and, unless a platform is chosen, windows
# without a display.
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
