// Terrain operations on the largest map (249 x 249). The zero-region filters
// run beside their pass-by-pass definition, to show that the count no longer
// drives the cost.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "plugin/plugin_state.h"
#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "terrain/heightmap_ops.h"
#include "terrain/resample.h"
#include "ui/terrain_commands.h"

namespace {

const int kSide = 249;

Heightmap Terrain() {
  Heightmap map;
  std::srand(7);
  return GenerateTerrain(map, kSide, kPlasma, GeneratorOptions());
}

// A few peaks in a field of zeros: every erosion pass has work to do.
Heightmap SparsePeaks() {
  Heightmap map(kSide, kSide, 1, 1, 0);
  std::srand(11);
  for (unsigned char& v : map) v = std::rand() % 1000 == 0 ? 255 : 0;
  return map;
}

// The definition, pass by pass with two swapped buffers.
template <typename Rule>
void ByPasses(Heightmap& map, unsigned n, Rule rule) {
  Heightmap next(map);
  const int w = map.width(), h = map.height();
  for (unsigned pass = 0; pass < n; ++pass) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const unsigned char c = map(x, y);
        const unsigned char l = x > 0 ? map(x - 1, y) : c, r = x < w - 1 ? map(x + 1, y) : c;
        const unsigned char u = y > 0 ? map(x, y - 1) : c, d = y < h - 1 ? map(x, y + 1) : c;
        next(x, y) = rule(c, !l || !r || !u || !d, l || r || u || d);
      }
    }
    map.swap(next);
  }
}

void ErodeByPasses(Heightmap& map, unsigned n) {
  const unsigned char top = map.max() ? map.max() : 1;
  ByPasses(map, n, [top](unsigned char v, bool, bool nonZeroNear) {
    return v == 0 && nonZeroNear ? top : v;
  });
}

void DilateByPasses(Heightmap& map, unsigned n) {
  ByPasses(map, n, [](unsigned char v, bool zeroNear, bool) { return v && zeroNear ? 0 : v; });
}

template <typename Op>
void OnCopies(benchmark::State& state, const Heightmap& source, Op op) {
  for (auto _ : state) {
    Heightmap map(source);
    op(map);
    benchmark::DoNotOptimize(map.data());
  }
}

void BM_AddNoise(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  OnCopies(state, Terrain(), [kind](Heightmap& m) { AddNoise(m, 100.0, kind); });
}
BENCHMARK(BM_AddNoise)
    ->ArgName("kind")
    ->Arg(kGaussian)
    ->Arg(kUniform)
    ->Arg(kSaltPepper)
    ->Unit(benchmark::kMicrosecond);

void BM_DrawPlasma(benchmark::State& state) {
  OnCopies(state, Terrain(), [](Heightmap& m) { DrawPlasma(m, 0, 0, 32768, 32768, 1.0, 1.0); });
}
BENCHMARK(BM_DrawPlasma)->Unit(benchmark::kMicrosecond);

void BM_PixelSqrt(benchmark::State& state) { OnCopies(state, Terrain(), PixelSqrt); }
BENCHMARK(BM_PixelSqrt)->Unit(benchmark::kMicrosecond);

void BM_PixelPow(benchmark::State& state) {
  OnCopies(state, Terrain(), [](Heightmap& m) { PixelPow(m, 1.36); });
}
BENCHMARK(BM_PixelPow)->Unit(benchmark::kMicrosecond);

void BM_Normalize(benchmark::State& state) {
  OnCopies(state, Terrain(), [](Heightmap& m) { Normalize(m, 0, 255); });
}
BENCHMARK(BM_Normalize)->Unit(benchmark::kMicrosecond);

void BM_BlurDeriche(benchmark::State& state) {
  OnCopies(state, Terrain(), [](Heightmap& m) { BlurDeriche(m, 1.0f); });
}
BENCHMARK(BM_BlurDeriche)->Unit(benchmark::kMicrosecond);

void BM_Negate(benchmark::State& state) { OnCopies(state, Terrain(), Negate); }
BENCHMARK(BM_Negate)->Unit(benchmark::kMicrosecond);

void BM_ErodeZeros(benchmark::State& state) {
  const unsigned n = static_cast<unsigned>(state.range(0));
  OnCopies(state, SparsePeaks(), [n](Heightmap& m) { ErodeZeros(m, n); });
}
BENCHMARK(BM_ErodeZeros)->ArgName("n")->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_ErodeZerosByPasses(benchmark::State& state) {
  const unsigned n = static_cast<unsigned>(state.range(0));
  OnCopies(state, SparsePeaks(), [n](Heightmap& m) { ErodeByPasses(m, n); });
}
BENCHMARK(BM_ErodeZerosByPasses)
    ->ArgName("n")
    ->Arg(1)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

void BM_DilateZeros(benchmark::State& state) {
  const unsigned n = static_cast<unsigned>(state.range(0));
  OnCopies(state, SparsePeaks(), [n](Heightmap& m) { Negate(m), DilateZeros(m, n); });
}
BENCHMARK(BM_DilateZeros)->ArgName("n")->Arg(1)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_DilateZerosByPasses(benchmark::State& state) {
  const unsigned n = static_cast<unsigned>(state.range(0));
  OnCopies(state, SparsePeaks(), [n](Heightmap& m) { Negate(m), DilateByPasses(m, n); });
}
BENCHMARK(BM_DilateZerosByPasses)
    ->ArgName("n")
    ->Arg(1)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

void BM_StartupTerrain(benchmark::State& state) { OnCopies(state, Terrain(), StartupTerrain); }
BENCHMARK(BM_StartupTerrain)->Unit(benchmark::kMicrosecond);

void BM_GenerateTerrain(benchmark::State& state) {
  const int generator = static_cast<int>(state.range(0));
  Heightmap map;
  for (auto _ : state) {
    GenerateTerrain(map, kSide, generator, GeneratorOptions());
    benchmark::DoNotOptimize(map.data());
  }
}
BENCHMARK(BM_GenerateTerrain)
    ->ArgName("generator")
    ->Arg(kPlasma)
    ->Arg(kNoise)
    ->Arg(kMorviGen)
    ->Unit(benchmark::kMicrosecond);

// "Erosion" then "Dilate" on a generated terrain, both slots at the same count.
void BM_FilterChain(benchmark::State& state) {
  const int times = static_cast<int>(state.range(0));
  Heightmap map;
  GeneratorOptions options;
  options.noiseType = kSaltPepper;
  GenerateTerrain(map, kSide, kNoise, options);
  OnCopies(state, map, [times](Heightmap& m) {
    ApplyFilterSlot(m, kErosion, times, times);
    ApplyFilterSlot(m, kDilate, times, times);
  });
}
BENCHMARK(BM_FilterChain)
    ->ArgName("times")
    ->Arg(1)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

// The whole "Generate Map" command with its defaults and the two slots.
void BM_GenerateMap(benchmark::State& state) {
  ResetDefaults();
  erodeTimes[0] = erodeTimes[1] = dilateTimes[0] = dilateTimes[1] =
      static_cast<int>(state.range(0));
  for (auto _ : state) {
    GenerateMapWith(0, kPlasma, kErosion, kDilate);
    benchmark::DoNotOptimize(heightmap.data());
  }
}
BENCHMARK(BM_GenerateMap)
    ->ArgName("times")
    ->Arg(1)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

void BM_GenerateMapDefaults(benchmark::State& state) {
  ResetDefaults();
  for (auto _ : state) {
    GenerateMapWith(0, kPlasma, kBlur, kNoFilter);
    benchmark::DoNotOptimize(heightmap.data());
  }
}
BENCHMARK(BM_GenerateMapDefaults)->Unit(benchmark::kMicrosecond);

void BM_Resample249To16To249(benchmark::State& state) {
  OnCopies(state, Terrain(), [](Heightmap& m) {
    Resample(m, 16, 16, ResampleMode::CatmullRom);
    Resample(m, kSide, kSide, ResampleMode::CatmullRom);
  });
}
BENCHMARK(BM_Resample249To16To249)->Unit(benchmark::kMicrosecond);

// CImg's own bicubic resize of the same map, the yardstick for the one above.
void BM_CImgBicubicResize249To16To249(benchmark::State& state) {
  OnCopies(state, Terrain(), [](Heightmap& m) {
    m.resize(16, 16, 1, 1, 5);
    m.resize(kSide, kSide, 1, 1, 5);
  });
}
BENCHMARK(BM_CImgBicubicResize249To16To249)->Unit(benchmark::kMicrosecond);

}  // namespace
