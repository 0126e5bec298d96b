#!/usr/bin/env bash
# Runs every benchmark of a build (on a virtual X server when there is no display).
set -euo pipefail
build=${1:-build}
here=$(dirname "$0")
status=0
for b in "$build"/bench/bench_*; do
  [[ -x "$b" && ! -d "$b" ]] || continue
  echo "== $(basename "$b")"
  "$here/with-display.sh" "$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true || status=1
done
for s in "$here"/bench-*.sh; do
  [[ -x "$s" ]] || continue
  echo "== $(basename "$s")"
  "$s" "$build" || status=1
done
exit $status
