// Building the map text for the five map sizes in both forms, against the
// plain way of formatting every record with snprintf.
#include <benchmark/benchmark.h>

#include <random>

#include "bench/map_text_reference.h"
#include "export/map_text.h"
#include "plugin/plugin_state.h"

namespace {

void UseRandomMap(int side) {
  std::mt19937 random(side);
  heightmap.assign(side, side, 1, 1, 0);
  cimg_forXY(heightmap, x, y) heightmap(x, y) = random() % 256;
  mapSize = side;
  maxWideness = 1024;
  maxHeight = 255;
}

void Report(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["chars"] = static_cast<double>(bytes);
}

void BM_MapText(benchmark::State& state, MapTextForm form) {
  UseRandomMap(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = BuildMapText(form);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  Report(state, bytes);
}

void BM_MapTextPrintfReference(benchmark::State& state, MapTextForm form) {
  UseRandomMap(static_cast<int>(state.range(0)));
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string text = reference::BuildMapText(heightmap, maxWideness, maxHeight, form);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  Report(state, bytes);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int side : {249, 125, 63, 32, 16}) b->Arg(side);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(BM_MapText, Host, MapTextForm::Host)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_MapText, File, MapTextForm::File)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_MapTextPrintfReference, Host, MapTextForm::Host)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_MapTextPrintfReference, File, MapTextForm::File)->Apply(Sizes);

}  // namespace
