#include "terrain/filter_chain.h"

#include <algorithm>

#include "terrain/heightmap_ops.h"

namespace {

unsigned Passes(int times) { return static_cast<unsigned>(std::max(times, 0)); }

}  // namespace

Heightmap& ApplyFilterSlot(Heightmap& map, int kind, int erodeTimes, int dilateTimes) {
  switch (kind) {
    case kBlur:
      return BlurDeriche(map, 1.0f);
    case kErosion:
      return ErodeZeros(map, Passes(erodeTimes));
    case kDilate:
      return DilateZeros(map, Passes(dilateTimes));
    case kNegative:
      // 255 - v over the map's own samples: the same as subtracting it from a
      // full map of 255, without a second map whose size could disagree.
      return Negate(map);
    default:
      return map;
  }
}
