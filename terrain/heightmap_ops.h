// The whole-map operations every terrain is built from. Each works in place on
// a heightmap of at least 1 x 1 samples and returns it, so chains read in order.
// Every real-valued result is stored with StoreWrapped: 8-bit wrap-around,
// never clamping. That wrap is intended; it shapes the generated terrains.
#pragma once

#include "terrain/heightmap.h"

enum NoiseKind { kGaussian = 0, kUniform = 1, kSaltPepper = 2 };

// The byte stored for r: truncation toward zero, then the low 8 bits; 0 when
// the truncated value lies outside -32768..32767.
unsigned char StoreWrapped(double r);

// The one random source: rand(), seeded from the clock once per loaded module
// at the first AddNoise.
double RandomUniform();   // u in [0, 1]
double RandomGaussian();  // Box-Muller g

Heightmap& AddNoise(Heightmap& map, double sigma, int kind);
Heightmap GetAddNoise(const Heightmap& map, double sigma, int kind);  // copying form
Heightmap& DrawPlasma(Heightmap& map, int x0, int y0, int x1, int y1, double alpha, double beta);
Heightmap& PixelSqrt(Heightmap& map);
Heightmap& PixelPow(Heightmap& map, double p);
Heightmap& Normalize(Heightmap& map, unsigned char a, unsigned char b);
Heightmap& BlurDeriche(Heightmap& map, float sigma);
Heightmap& ErodeZeros(Heightmap& map, unsigned int n);
Heightmap& DilateZeros(Heightmap& map, unsigned int n);
Heightmap& Negate(Heightmap& map);
