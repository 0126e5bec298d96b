#!/usr/bin/env bash
# Runs the map-text and terrain benchmarks of the Windows build under Wine and
# of the Linux build natively, one after the other in this session, and
# prints the median of each and the Windows/Linux ratio of the medians.
#   scripts/win32-bench.sh BUILD_WIN32 JOBS LINUX_BUILD
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-win32}" jobs="${2:-2}" linux="${3:-$PWD/build}"
filter="${RELIEVO_BENCH_FILTER:-BM_(MapText/|Resample|CImgBicubic|GenerateMap|GenerateTerrain|StartupTerrain|DrawPlasma|AddNoise|BlurDeriche)}"
reps="${RELIEVO_BENCH_REPETITIONS:-5}"

scripts/win32-tools.sh --wine
prefix="$(scripts/win32-deps.sh --bench)"
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-i686.cmake" \
  -DRELIEVO_WIN32_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DRELIEVO_LINUX_BUILD="$linux" >/dev/null
cmake --build "$build" -j "$jobs" --target bench_map_text bench_terrain

out="$build/bench-results"
mkdir -p "$out"
export WINEPREFIX="$PWD/$build/wine"
args=(--benchmark_filter="$filter" --benchmark_repetitions="$reps"
      --benchmark_report_aggregates_only=true --benchmark_format=json)
for b in bench_map_text bench_terrain; do
  echo "== $b: Linux" >&2
  "$linux/bench/$b" "${args[@]}" > "$out/$b.linux.json"
  echo "== $b: Windows under Wine" >&2
  scripts/wine-run.sh "$build/bench/$b.exe" "${args[@]}" > "$out/$b.windows.json"
done
python3 - "$out" <<'PY'
import json, sys, os
out = sys.argv[1]
def medians(path):
    with open(path) as f:
        text = f.read()
    data = json.loads(text[text.index("{"):])
    return {b["run_name"]: (b["real_time"], b["time_unit"]) for b in data["benchmarks"]
            if b.get("aggregate_name") == "median"}
ratios = []
print(f"{'benchmark':52} {'Linux':>12} {'Windows':>12} {'ratio':>6}")
for name in ("bench_map_text", "bench_terrain"):
    linux = medians(os.path.join(out, f"{name}.linux.json"))
    windows = medians(os.path.join(out, f"{name}.windows.json"))
    for run, (lt, unit) in linux.items():
        if run not in windows:
            continue
        wt = windows[run][0]
        ratios.append(wt / lt)
        print(f"{run:52} {lt:10.1f}{unit:>2} {wt:10.1f}{unit:>2} {wt / lt:6.2f}")
if ratios:
    ratios.sort()
    print(f"{len(ratios)} benchmarks; Windows/Linux ratio of medians: "
          f"median {ratios[len(ratios) // 2]:.2f}, lowest {ratios[0]:.2f}, highest {ratios[-1]:.2f}")
PY
