// The terrain as text in the host's map format, "Quarn Map File" version
// 0.86: a header, then blocks of at most 32 x 32 vertices (TerrainObject),
// each with its quads (TerrainPolygon), then a closing count.
#pragma once

#include <string>

#include "terrain/heightmap.h"

// The two forms differ only in what ends a record: a line break in the file
// form, ";" in the host form (which is therefore one line). Polygon records
// end in ";" in both forms, so in the file form an object's polygons run on
// along one line.
enum class MapTextForm { File, Host };

// The whole map text of the current heightmap, scaled by maxWideness and
// maxHeight. Reads PluginState and changes nothing. The side is the
// heightmap's own (normally mapSize); should mapSize disagree with it, the
// heightmap wins, so that nothing is read beyond it.
std::string BuildMapText(MapTextForm form);

// The text of one TerrainObject named "terrain<k>" from the n x n samples
// of the first channel of a square image (n = its smaller side). Vertex (c, r) is
//   x = (c + xOffset - n/2) * xScale, y = ((sample + heightShift) mod 256) * yScale,
//   z = (r + zOffset - n/2) * zScale,
// and the texture coordinates of column c and row r are
//   (31 * tileColumn + c) / texDivisor and (31 * tileRow + r) / texDivisor.
// Reads only its arguments.
std::string BuildTerrainObject(const Heightmap& samples, int k, int xScale, int yScale, int zScale,
                               int xOffset, int zOffset, unsigned char heightShift, int texDivisor,
                               int tileColumn, int tileRow, MapTextForm form);
