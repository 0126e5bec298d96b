#include "terrain/generators.h"

#include "terrain/heightmap_ops.h"

namespace {

// The whole map, whatever its size: DrawPlasma clamps the far corner.
const int kWholeMap = 32768;

Heightmap& Plasma(Heightmap& map, double noise, double alpha, double beta) {
  AddNoise(map, noise, kGaussian);
  return DrawPlasma(map, 0, 0, kWholeMap, kWholeMap, alpha, beta);
}

Heightmap& MorviGen(Heightmap& map, const GeneratorOptions& o) {
  AddNoise(map, o.morviNoise, kGaussian);
  PixelSqrt(map);
  PixelPow(map, o.morviAlpha);
  BlurDeriche(map, 1.0f);
  PixelSqrt(map);
  PixelPow(map, 1.36);
  // A random amount of smoothing gives each terrain its own roughness.
  const float sigma = static_cast<float>(RandomUniform() * o.morviBeta);
  BlurDeriche(map, sigma);
  DrawPlasma(map, 0, 0, kWholeMap, kWholeMap, 1.0, 1.0);
  PixelPow(map, 1.156);
  return Normalize(map, 0, 255);
}

}  // namespace

Heightmap& StartupTerrain(Heightmap& map) {
  Plasma(map, 100.0, 1.0, 1.0);
  return BlurDeriche(map, 1.0f);
}

Heightmap& GenerateTerrain(Heightmap& map, int side, int generator,
                           const GeneratorOptions& options) {
  map.assign(side, side, 1, 1, 0);
  switch (generator) {
    case kPlasma:
      return Plasma(map, options.plasmaNoise, options.plasmaAlpha, options.plasmaBeta);
    case kNoise:
      return AddNoise(map, options.noiseSigma, options.noiseType);
    case kMorviGen:
      return MorviGen(map, options);
    default:
      return map;
  }
}
