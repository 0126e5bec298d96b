#include "preview/draw_terrain.h"

#include <FL/gl.h>

#include <algorithm>

namespace {

// The surface needs at least one cell, and every row index used for Z must
// exist in the map.
bool HasCells(const Heightmap& map) { return map.width() >= 2 && map.height() == map.width(); }

unsigned char LowestSample(const Heightmap& map) {
  const unsigned char* first = map.data();
  return *std::min_element(first, first + size_t(map.width()) * map.width());
}

// Preview position of sample (c, r) standing `rise` above the lowest sample.
// The half in the numerator is an integer, so an odd side sits half a cell
// off centre: 249 columns span -124/124.5 .. +124/124.5.
inline void SamplePosition(int c, int r, int n, int rise, TerrainScale s, float* p) {
  const int half = n / 2;
  const float span = n / 2.0f;
  p[0] = float(c - half) / span * s.sx;
  p[1] = float(rise) / 255.0f * s.sy;
  p[2] = float(r - half) / span * s.sx;
}

ColorRamp CurrentRamp() { return MakeColorRamp(minColor, meanColor, maxColor); }

TerrainScale CurrentScale() { return ComputeTerrainScale(maxWideness, maxHeight); }

}  // namespace

TerrainScale ComputeTerrainScale(int wideness, int height) {
  TerrainScale s;
  if (wideness >= height) {
    s.sy = 2.0f * float(height) / float(wideness);
  } else {
    s.sx = float(wideness) / float(height);
  }
  return s;
}

ColorRamp MakeColorRamp(Rgb low, Rgb mean, Rgb high) {
  const unsigned char lows[3] = {low.r, low.g, low.b};
  const unsigned char means[3] = {mean.r, mean.g, mean.b};
  const unsigned char highs[3] = {high.r, high.g, high.b};
  ColorRamp ramp;
  for (int k = 0; k < 3; ++k) {
    const float m = lows[k] / 255.0f, a = means[k] / 255.0f, top = highs[k] / 255.0f;
    ramp.a[k] = m;
    ramp.b[k] = 4.0f * a + top + ramp.a[k];
    ramp.c[k] = top - ramp.a[k] - ramp.b[k];
  }
  return ramp;
}

void ColorRamp::At(float t, float rgb[3]) const {
  for (int k = 0; k < 3; ++k) rgb[k] = a[k] + b[k] * t + c[k] * t * t;
}

// Every sample's vertex (and colour when shaded) is worked out once, then
// copied into each primitive that uses it.
static void SampleVertices(const Heightmap& map, bool shaded, TerrainScale scale,
                           const ColorRamp& ramp, std::vector<float>* pos,
                           std::vector<float>* rgb) {
  const int n = map.width();
  const unsigned char hmin = LowestSample(map);
  pos->resize(size_t(n) * n * 3);
  rgb->resize(shaded ? size_t(n) * n * 3 : 0);
  const unsigned char* sample = map.data();
  for (size_t i = 0; i < size_t(n) * n; ++i) {
    float* p = &(*pos)[i * 3];
    SamplePosition(int(i % n), int(i / n), n, sample[i] - hmin, scale, p);
    if (shaded) ramp.At(p[1], &(*rgb)[i * 3]);
  }
}

void BuildTerrainMesh(const Heightmap& map, int renderMode, TerrainScale scale,
                      const ColorRamp& ramp, TerrainMesh* mesh) {
  mesh->wire = renderMode != 0;
  mesh->position.clear();
  mesh->color.clear();
  if (!HasCells(map)) return;

  const int n = map.width();
  static std::vector<float> samplePos, sampleRgb;
  SampleVertices(map, !mesh->wire, scale, ramp, &samplePos, &sampleRgb);
  const size_t cells = size_t(n - 1) * (n - 1);
  const size_t vertices = mesh->wire ? cells * 6 + size_t(n - 1) * 2 : cells * 4;
  mesh->position.resize(vertices * 3);
  mesh->color.resize(mesh->wire ? 0 : vertices * 3);
  float* pos = mesh->position.data();
  float* rgb = mesh->wire ? nullptr : mesh->color.data();
  auto emit = [&](int c, int r) {
    const size_t at = (size_t(r) * n + c) * 3;
    pos = std::copy_n(&samplePos[at], 3, pos);
    if (rgb) rgb = std::copy_n(&sampleRgb[at], 3, rgb);
  };
  for (int r = 0; r + 1 < n; ++r) {
    for (int c = 0; c + 1 < n; ++c) {
      // Shaded: one quad. Wire: its right, left and top edges.
      emit(c + 1, r + 1);
      emit(c + 1, r);
      emit(c, r);
      emit(c, r + 1);
      if (!mesh->wire) continue;
      emit(c, r);
      emit(c + 1, r);
    }
  }
  // The bottom edges of the last row, which no cell draws.
  for (int k = 0; mesh->wire && k + 1 < n; ++k) {
    emit(k, n - 1);
    emit(k + 1, n - 1);
  }
}

void DrawTerrain() {
  // Kept between frames only so its buffers are not reallocated; every
  // value in it is rebuilt from the live heightmap on each call.
  static TerrainMesh mesh;
  BuildTerrainMesh(heightmap, renderMode, CurrentScale(), CurrentRamp(), &mesh);
  if (mesh.position.empty()) return;

  // A single draw, as the single glBegin/glEnd it stands for: the rasteriser
  // may place a silhouette pixel differently on each side of a split.
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, mesh.position.data());
  if (mesh.wire) {
    glColor3f(0.0f, 0.0f, 1.0f);
  } else {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, 0, mesh.color.data());
  }
  glDrawArrays(mesh.wire ? GL_LINES : GL_QUADS, 0, GLsizei(mesh.position.size() / 3));
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}
