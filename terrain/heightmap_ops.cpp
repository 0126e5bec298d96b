#include "terrain/heightmap_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

// Set at load, cleared by the first AddNoise: the clock seeds rand() once per
// loaded module, so later runs in the same host continue the same sequence.
bool seedPending = true;

void SeedOnce() {
  if (!seedPending) return;
  seedPending = false;
  std::srand(static_cast<unsigned>(std::time(nullptr)));
}

double RandomDeviate() { return 1.0 - 2.0 * RandomUniform(); }

// Gives `value` to every sample whose Manhattan distance to the nearest source
// sample (a zero one or a non-zero one, as zeroIsSource says) lies in 1..n.
// The distances come from the classic two-scan transform: down the rows taking
// the sample above and then the one to the left, and back up taking below and
// right, where each row is final and is filled at once. Exact for the
// 4-connected metric on a full grid. Nothing changes when there is no source.
void FillNearSources(Heightmap& map, bool zeroIsSource, unsigned n, unsigned char value) {
  const int w = map.width(), h = map.height();
  const unsigned unreached = static_cast<unsigned>(w + h + 1);
  const unsigned reach = std::min(n, unreached);
  std::vector<unsigned> dist(static_cast<std::size_t>(w) * h);
  auto step = [](unsigned a, unsigned b) { return std::min(a, b + 1); };
  bool any = false;
  for (int y = 0; y < h; ++y) {
    const unsigned char* src = map.data(0, y);
    unsigned* row = &dist[static_cast<std::size_t>(y) * w];
    for (int x = 0; x < w; ++x) {
      const bool source = (src[x] == 0) == zeroIsSource;
      row[x] = source ? 0 : unreached;
      any |= source;
    }
    if (y > 0) {
      for (int x = 0; x < w; ++x) row[x] = step(row[x], row[x - w]);
    }
    for (int x = 1; x < w; ++x) row[x] = step(row[x], row[x - 1]);
  }
  if (!any) return;
  for (int y = h - 1; y >= 0; --y) {
    unsigned* row = &dist[static_cast<std::size_t>(y) * w];
    if (y < h - 1) {
      for (int x = 0; x < w; ++x) row[x] = step(row[x], row[x + w]);
    }
    for (int x = w - 2; x >= 0; --x) row[x] = step(row[x], row[x + 1]);
    unsigned char* out = map.data(0, y);
    for (int x = 0; x < w; ++x) {
      if (row[x] != 0 && row[x] <= reach) out[x] = value;
    }
  }
}

void PlasmaStep(Heightmap& map, int x0, int y0, int x1, int y1, double alpha, double beta) {
  const int xc = (x0 + x1) / 2, yc = (y0 + y1) / 2;
  const int dx = xc - x0, dy = yc - y0;
  const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy)) * alpha + beta;
  // Each write reads what the writes before it left, in this order.
  map(xc, y0) = StoreWrapped(0.5 * (map(x0, y0) + map(x1, y0)));
  map(xc, y1) = StoreWrapped(0.5 * (map(x0, y1) + map(x1, y1)));
  map(x0, yc) = StoreWrapped(0.5 * (map(x0, y0) + map(x0, y1)));
  map(x1, yc) = StoreWrapped(0.5 * (map(x1, y0) + map(x1, y1)));
  const double mean = 0.25 * (map(x0, y0) + map(x1, y0) + map(x1, y1) + map(x0, y1));
  map(xc, yc) = StoreWrapped(mean + d * RandomGaussian());
  if (xc == x0 && yc == y0) return;
  PlasmaStep(map, x0, y0, xc, yc, alpha, beta);
  PlasmaStep(map, xc, y0, x1, yc, alpha, beta);
  PlasmaStep(map, x0, yc, xc, y1, alpha, beta);
  PlasmaStep(map, xc, yc, x1, y1, alpha, beta);
}

}  // namespace

unsigned char StoreWrapped(double r) {
  // The comparison also sends NaN to 0.
  if (!(r > -32769.0 && r < 32768.0)) return 0;
  const int t = static_cast<int>(r);  // truncates toward zero
  return static_cast<unsigned char>(t & 0xFF);
}

double RandomUniform() { return static_cast<double>(std::rand()) / RAND_MAX; }

double RandomGaussian() {
  const double u1 = RandomUniform();
  const double u2 = RandomUniform();
  return std::sqrt(-2.0 * std::log(u1 * 0.9999999998 + 1e-10)) * std::cos(2.0 * M_PI * u2);
}

Heightmap& AddNoise(Heightmap& map, double sigma, int kind) {
  SeedOnce();
  if (sigma == 0 || map.is_empty()) return map;
  if (kind == kGaussian) {
    for (unsigned char& v : map) v = StoreWrapped(v + sigma * RandomGaussian());
  } else if (kind == kUniform) {
    for (unsigned char& v : map) v = StoreWrapped(v + sigma * RandomDeviate());
  } else if (kind == kSaltPepper) {
    unsigned char lo = map.min(), hi = map.max();
    if (lo == hi) lo = 0, hi = 255;
    for (unsigned char& v : map) {
      // u reaches 1 once in RAND_MAX + 1 draws (1 in 32,768 on Windows), which
      // would leave a sample alone at sigma 100; the draw is still made so the
      // random sequence stays the same.
      const bool drawn = 100.0 * RandomUniform() < sigma;
      if (drawn || sigma >= 100) v = RandomUniform() < 0.5 ? hi : lo;
    }
  }
  return map;
}

Heightmap GetAddNoise(const Heightmap& map, double sigma, int kind) {
  Heightmap copy(map);
  return AddNoise(copy, sigma, kind);
}

Heightmap& DrawPlasma(Heightmap& map, int x0, int y0, int x1, int y1, double alpha, double beta) {
  if (map.is_empty()) return map;
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, map.width() - 1);
  y1 = std::min(y1, map.height() - 1);
  // A rectangle wholly outside the map clamps to an inverted one: nothing to draw.
  if (x0 > x1 || y0 > y1) return map;
  PlasmaStep(map, x0, y0, x1, y1, alpha, beta);
  return map;
}

Heightmap& PixelSqrt(Heightmap& map) {
  for (unsigned char& v : map) v = StoreWrapped(std::sqrt(static_cast<double>(v)));
  return map;
}

Heightmap& PixelPow(Heightmap& map, double p) {
  for (unsigned char& v : map) v = StoreWrapped(std::pow(static_cast<double>(v), p));
  return map;
}

Heightmap& Normalize(Heightmap& map, unsigned char a, unsigned char b) {
  if (map.is_empty()) return map;
  const int m = map.min(), M = map.max();
  if (m == M) return map.fill(0);
  for (unsigned char& v : map) {
    v = StoreWrapped(a + static_cast<double>(b - a) * (v - m) / (M - m));
  }
  return map;
}

// Each axis is stored into the 8-bit map before the next one reads it, as
// CImg's deriche does on a byte image. The recursion runs on doubles, CImg's
// own precision, so truncating its result gives the very bytes CImg stores;
// StoreWrapped only adds a defined store for values outside 0..255.
Heightmap& BlurDeriche(Heightmap& map, float sigma) {
  if (!(sigma >= 0.01f) || map.is_empty()) return map;
  const unsigned neumann = 1;
  for (const char axis : {'x', 'y'}) {
    if ((axis == 'x' ? map.width() : map.height()) < 2) continue;
    cimg_library::CImg<double> pass(map);
    pass.deriche(sigma, 0, axis, neumann);
    const double* src = pass.data();
    for (unsigned char& v : map) v = StoreWrapped(*src++);
  }
  return map;
}

// Pass by pass, a zero sample turns into V once some non-zero sample lies
// within n 4-steps of it; the distance transform gets there in two scans
// whatever n is.
Heightmap& ErodeZeros(Heightmap& map, unsigned int n) {
  if (n == 0 || map.is_empty()) return map;
  const unsigned char top = map.max();
  if (top != 0) FillNearSources(map, false, n, top);  // else nothing can spread
  return map;
}

Heightmap& DilateZeros(Heightmap& map, unsigned int n) {
  if (n == 0 || map.is_empty()) return map;
  FillNearSources(map, true, n, 0);
  return map;
}

Heightmap& Negate(Heightmap& map) {
  for (unsigned char& v : map) v = static_cast<unsigned char>(255 - v);
  return map;
}
