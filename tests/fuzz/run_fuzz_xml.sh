#!/usr/bin/env bash
# Builds the XML reader's libFuzzer target with clang and runs it.
#   run_fuzz_xml.sh [SECONDS] [WORK_DIR]
# Exit status: 0 when the time ran out without findings, 1 when the fuzzer
# found a crash, a sanitizer report, a time-out or a broken round trip (the
# input is left in WORK_DIR/artifacts), 77 when clang or its fuzzer runtime
# is not installed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-60}"
work="${2:-$root/build/fuzz/xml}"

cxx="$(command -v clang++-14 || command -v clang++ || true)"
if [ -z "$cxx" ]; then
  echo "clang++ not installed; skipping the fuzz run" >&2
  exit 77
fi
runtime_dir="$("$cxx" --print-runtime-dir 2>/dev/null || true)"
if ! ls "$runtime_dir"/libclang_rt.fuzzer*.a >/dev/null 2>&1; then
  echo "libFuzzer runtime (libclang-rt-14-dev) not installed; skipping the fuzz run" >&2
  exit 77
fi

sources=(
  "$here/fuzz_xml_load.cpp"
  "$root/src/xml/xml_document.cpp"
  "$root/src/platform/atomic_file_posix.cpp"
  "$root/src/platform/text.cpp"
)
mkdir -p "$work/corpus" "$work/artifacts"
binary="$work/fuzz_xml_load"
stale=1
if [ -x "$binary" ]; then
  stale=0
  for f in "${sources[@]}" "$root/src/xml/xml_document.h" "$root/src/platform/atomic_file.h" \
           "$root/src/platform/text.h"; do
    [ "$f" -nt "$binary" ] && stale=1
  done
fi
if [ "$stale" = 1 ]; then
  echo "building $binary"
  "$cxx" -std=c++20 -O1 -g -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I "$root/src" "${sources[@]}" -o "$binary"
fi

# New inputs go to the work corpus; the committed seeds are only read.
# libFuzzer's own default error status is 77, which would read as "skipped".
exec "$binary" "$work/corpus" "$here/corpus_xml" \
  -dict="$here/xml.dict" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -error_exitcode=1 -timeout_exitcode=1 \
  -artifact_prefix="$work/artifacts/" -print_final_stats=1
