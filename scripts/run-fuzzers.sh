#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time from
# the seed corpus kept in tests/fuzz/corpus. New inputs go to a scratch corpus,
# crashes to the build folder (turn each into a regression test).
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
# A fixed seed makes CI's run take the same path through the inputs each time,
# so that it passes or fails on the code, not on the draw; seed 0 explores anew.
seed=${3:-1}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
"$here/install-deps.sh" --fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRELIEVO_BUILD_FUZZERS=ON -DRELIEVO_BUILD_TESTS=OFF -DRELIEVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j 2 --target $(cd "$root/tests/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//' | tr '\n' ' ')
# intercept_tls_get_addr=0: see test-sanitized.sh (the leak scan dies on a misread thread-local block).
# allocator_may_return_null=1: an impossible size gets NULL, as from the C library, and the
# image readers check for it.
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:intercept_tls_get_addr=0:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
status=0
for target in "$build"/tests/fuzz/fuzz_*; do
  [[ -x "$target" && ! -d "$target" ]] || continue
  name=$(basename "$target")
  seeds="$root/tests/fuzz/corpus/${name#fuzz_}"
  scratch="$build/corpus-${name#fuzz_}"
  mkdir -p "$scratch" "$build/crashes"
  echo "== $name for ${seconds}s, seed $seed"
  if ! "$here/with-display.sh" "$target" -max_total_time="$seconds" -seed="$seed" -rss_limit_mb=2048 \
       -timeout=20 -artifact_prefix="$build/crashes/$name-" -print_final_stats=1 \
       "$scratch" "$seeds" 2>&1 | tail -n 25; then
    status=1
  fi
done
exit $status
