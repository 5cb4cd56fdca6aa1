#!/usr/bin/env bash
# Builds and runs every test. With --asan the same suite runs under
# AddressSanitizer and UBSan; with --fuzz every fuzz target runs briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
mode="${1:-}"
export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export ALSOFT_DRIVERS="${ALSOFT_DRIVERS:-null}"
export LP_NUM_THREADS="${LP_NUM_THREADS:-2}"

case "$mode" in
  "")
    bash scripts/build.sh
    ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
    ;;
  --asan)
    bash scripts/build.sh --asan
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:${LSAN_OPTIONS:-}"
    ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 600 -LE gl
    # GL tests run few at a time: llvmpipe's threads are slow to share a
    # loaded machine. They run without the leak checker: in a process that
    # drove Mesa's llvmpipe, the leak checker's own tracer dies at exit when
    # ctest runs the test ("Tracer caught signal 11", after the test passed).
    # Address and undefined-behaviour errors still end them; leaks are
    # checked by the rest of the suite, which covers the same engine on the
    # recording device.
    ASAN_OPTIONS="detect_leaks=0:abort_on_error=1" \
      ctest --test-dir build-asan --output-on-failure -j 2 --timeout 600 -L gl
    ;;
  --fuzz)
    bash scripts/build.sh --fuzz
    # An undefined-behaviour report fails the run like a crash does.
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
    secs="${FUZZ_SECONDS:-10}"
    shopt -s nullglob
    ran=0
    for f in build-fuzz/fuzz/fuzz_*; do
      [ -x "$f" ] || continue
      name=$(basename "$f")
      corpus="fuzz/corpus/${name#fuzz_}"
      mkdir -p "build-fuzz/corpus/$name"
      echo "== $name (${secs}s)"
      seeds=()
      [ -d "$corpus" ] && seeds=("$corpus")
      "$f" -max_total_time="$secs" -artifact_prefix="build-fuzz/" "build-fuzz/corpus/$name" "${seeds[@]}" 2>&1 | tail -n 3
      ran=$((ran + 1))
    done
    echo "fuzz: $ran targets ran"
    ;;
  *) echo "usage: $0 [--asan|--fuzz]" >&2; exit 2 ;;
esac
