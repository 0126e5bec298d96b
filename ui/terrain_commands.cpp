// "Generate Map", "Apply Filters" and "Change Size".
#include "ui/terrain_commands.h"

#include <FL/Fl_Choice.H>

#include "plugin/plugin_state.h"
#include "plugin/terrain_history.h"
#include "plugin/views.h"
#include "terrain/filter_chain.h"
#include "terrain/generators.h"
#include "terrain/resample.h"
#include "ui/control_window.h"

namespace {

bool ValidSizeIndex(int i) { return i >= 0 && i < 5; }

GeneratorOptions CurrentGeneratorOptions() {
  GeneratorOptions o;
  o.plasmaAlpha = plasmaAlpha;
  o.plasmaBeta = plasmaBeta;
  o.plasmaNoise = plasmaNoise;
  o.noiseSigma = noiseSigma;
  o.noiseType = noiseType;
  o.morviAlpha = morviAlpha;
  o.morviBeta = morviBeta;
  o.morviNoise = morviNoise;
  return o;
}

void RunFilterSlots(int firstFilter, int secondFilter) {
  ApplyFilterSlot(heightmap, firstFilter, erodeTimes[0], dilateTimes[0]);
  ApplyFilterSlot(heightmap, secondFilter, erodeTimes[1], dilateTimes[1]);
}

void ShowChangedMap() {
  RefreshEditor();
  RefreshPreview();
}

}  // namespace

void GenerateMapWith(int sizeIndex, int generator, int firstFilter, int secondFilter) {
  if (!ValidSizeIndex(sizeIndex)) return;
  BeginChange();
  mapSize = mapSizeTable[sizeIndex];
  ResizeEditor(mapSize, mapSize);
  displayZoom = 1;
  GenerateTerrain(heightmap, mapSize, generator, CurrentGeneratorOptions());
  RunFilterSlots(firstFilter, secondFilter);
  EndChange();
  ShowChangedMap();
}

void ApplyFiltersWith(int firstFilter, int secondFilter) {
  BeginChange();
  RunFilterSlots(firstFilter, secondFilter);
  EndChange();
  ShowChangedMap();
}

void ChangeSizeWith(int sizeIndex) {
  if (!ValidSizeIndex(sizeIndex)) return;
  BeginChange();
  mapSize = mapSizeTable[sizeIndex];
  ResizeEditor(mapSize, mapSize);
  Resample(heightmap, mapSize, mapSize, ResampleMode::CatmullRom);
  EndChange();
  displayZoom = 1;
  ShowChangedMap();
}

void ControlWindow::GenerateMap(Fl_Widget*, void*) {
  GenerateMapWith(mapDimensionsChoice->value(), generatorChoice->value(),
                  firstFilterChoice->value(), secondFilterChoice->value());
}

void ControlWindow::ApplyFilters(Fl_Widget*, void*) {
  ApplyFiltersWith(firstFilterChoice->value(), secondFilterChoice->value());
}

void ControlWindow::ChangeSize(Fl_Widget*, void*) { ChangeSizeWith(mapDimensionsChoice->value()); }
