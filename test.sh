#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test with ctest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh

. scripts/test-env.sh

cd build
ctest --output-on-failure --timeout 600 -j2 "$@"
