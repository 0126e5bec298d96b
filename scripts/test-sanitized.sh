#!/usr/bin/env bash
# Builds the library, module, host and tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs the tests; any report fails the run.
set -euo pipefail
build=${1:-build-asan}
jobs=${2:-2}
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DRELIEVO_SANITIZE=ON \
  -DRELIEVO_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j "$jobs"
# intercept_tls_get_addr=0: the sanitizer runtime of GCC 12 (and LLVM up to 16)
# takes a thread-local block that happens to start 16 bytes into a page for
# one with an old glibc header, reads its bounds from the two words before it,
# and LeakSanitizer's exit scan then dies on them ("Tracer caught signal 11")
# after the test has passed. The software OpenGL driver's LLVM, loaded at run
# time, keeps its thread-locals in such blocks.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=0:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
# Fewer threads for the exit scan to stop: the software renderer draws the
# same pixels in the calling thread.
export LP_NUM_THREADS=0 MESA_SHADER_CACHE_DISABLE=true
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$root/tests/sanitizer/ubsan.supp"
# The end-to-end suite drives real input with timing; it runs in the normal build only.
log="$build/sanitized-ctest.log"
if "$here/with-display.sh" ctest --test-dir "$build" --output-on-failure -j "$jobs" -E '^e2e' \
    2>&1 | tee "$log"; then
  exit 0
fi
# Should LeakSanitizer's own exit scan still crash after a passing test, the
# failed tests are run once more, only then; a real failure fails again.
grep -q "LeakSanitizer has encountered a fatal error" "$log" || exit 1
echo "LeakSanitizer crashed in its exit scan (above); running the failed tests once more."
"$here/with-display.sh" ctest --test-dir "$build" --output-on-failure --rerun-failed
