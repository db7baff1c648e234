#!/usr/bin/env bash
# Builds and runs the benchmarks; prints their tables and ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
export XDG_RUNTIME_DIR="$(mktemp -d)"
chmod 700 "$XDG_RUNTIME_DIR"
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
build/bin/bench_console --benchmark_report_aggregates_only=true
build/bin/bench_startup --benchmark_report_aggregates_only=true
build/bin/bench_config --benchmark_report_aggregates_only=true
build/bin/bench_xml --benchmark_report_aggregates_only=true
build/bin/bench_tvsim --benchmark_report_aggregates_only=true
build/bin/bench_listing --benchmark_report_aggregates_only=true
