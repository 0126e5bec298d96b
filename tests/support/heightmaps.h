// Maps and counts shared by the tests of the terrain operations and tools.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "terrain/heightmap.h"
#include "terrain/heightmap_ops.h"

// How many samples of the map hold v.
inline int Count(const Heightmap& map, unsigned char v) {
  return static_cast<int>(std::count(map.begin(), map.end(), v));
}

// A map whose neighbouring samples differ, so that a shifted or swapped index shows.
inline Heightmap Varied(int side) {
  return Heightmap(side, side, 1, 1).fill("(60+5*x+11*y+x*y)%256", true);
}

// What f makes of start when rand() is seeded with seed. The module seeds rand()
// from the clock at its first noise; that comes first, so that the seed decides.
inline Heightmap Seeded(unsigned seed, Heightmap start, const std::function<void(Heightmap&)>& f) {
  Heightmap scratch(1, 1, 1, 1, 0);
  AddNoise(scratch, 1, kGaussian);
  std::srand(seed);
  f(start);
  return start;
}
