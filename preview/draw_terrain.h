// The heightmap as OpenGL primitives for the preview: colour-shaded quads
// whose colour follows the height, or a blue wire grid.
//
// The geometry is built as data first (TerrainMesh), so it can be checked
// without a window, and then sent to GL in one batch. Preview units: X and Z
// within +-1, Y from 0 (the lowest sample) up to at most 2.
#pragma once

#include <vector>

#include "plugin/plugin_state.h"

// Horizontal (sx) and vertical (sy) factors: the larger of the two export
// settings maps to 2 preview units and the other keeps its ratio to it.
struct TerrainScale {
  float sx = 1.0f;
  float sy = 2.0f;
};
TerrainScale ComputeTerrainScale(int wideness, int height);

// The colour ramp A + B*t + C*t^2 per channel (red, green, blue), from the
// colours' components in 0..1. It is minColor at t = 0 and maxColor at t = 1;
// elsewhere it is what the quadratic gives, unclamped (GL clamps it).
struct ColorRamp {
  float a[3], b[3], c[3];
  void At(float t, float rgb[3]) const;
};
ColorRamp MakeColorRamp(Rgb low, Rgb mean, Rgb high);

// One frame of the surface as the vertex stream GL receives: every vertex
// in drawing order, each a sample's position and, when shaded, its colour.
// Shaded: 4 vertices per quad. Wire: 2 per segment, blue.
struct TerrainMesh {
  bool wire = false;            // GL_LINES, otherwise GL_QUADS
  std::vector<float> position;  // x, y, z per vertex
  std::vector<float> color;     // r, g, b per vertex; empty in wire mode
};

// Builds the mesh of map (square, at least 2 x 2; anything else gives an
// empty mesh) with the given settings. hmin is taken over the whole map.
void BuildTerrainMesh(const Heightmap& map, int renderMode, TerrainScale scale,
                      const ColorRamp& ramp, TerrainMesh* mesh);

// Draws the live heightmap with the current settings of the plug-in state.
// Needs a current GL context with projection and model-view set. Sends the
// mesh through vertex arrays; the arrays are disabled again afterwards.
void DrawTerrain();
