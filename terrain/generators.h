// Whole terrains built from the heightmap operations.
#pragma once

#include "terrain/heightmap.h"

// Indices of the "Generator:" choice, in menu order.
enum GeneratorKind { kPlasma = 0, kNoise = 1, kMorviGen = 2 };

// The generators' settings; the defaults are those every run starts with.
struct GeneratorOptions {
  double plasmaAlpha = 1.0, plasmaBeta = 1.0, plasmaNoise = 100.0;
  double noiseSigma = 100.0;
  int noiseType = 0;  // NoiseKind
  double morviAlpha = 3.0, morviBeta = 6.765, morviNoise = 100.0;
};

// The terrain every run starts from: noise, plasma and a light blur applied to
// the map as it is (no resize, no zero fill, no filters).
Heightmap& StartupTerrain(Heightmap& map);

// Replaces the map by a side x side map of zeros and runs the chosen generator
// (GeneratorKind) on it. An unknown generator leaves the zero map.
Heightmap& GenerateTerrain(Heightmap& map, int side, int generator,
                           const GeneratorOptions& options);
