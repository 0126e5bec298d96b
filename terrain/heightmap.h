// The terrain: a square, single-channel 8-bit image. Sample (x, y) is column x,
// row y; 0 is the lowest ground, 255 the highest.
#pragma once

#include "platform/cimg_config.h"

using Heightmap = cimg_library::CImg<unsigned char>;
