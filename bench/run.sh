#!/usr/bin/env bash
# Builds and runs the benchmarks; prints their tables and ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
. scripts/test-env.sh
build/bin/bench_console --benchmark_report_aggregates_only=true
build/bin/bench_startup --benchmark_report_aggregates_only=true
build/bin/bench_config --benchmark_report_aggregates_only=true
build/bin/bench_xml --benchmark_report_aggregates_only=true
build/bin/bench_tvsim --benchmark_report_aggregates_only=true
build/bin/bench_listing --benchmark_report_aggregates_only=true
