#include "plugin/plugin_state.h"

HostCallback hostCallback = nullptr;
Heightmap heightmap(249, 249, 1, 1, 0);
cimg_library::CImgDisplay* editorDisplay = nullptr;
MyGlWin* previewWindow = nullptr;
ControlWindow* controlWindow = nullptr;

double plasmaAlpha = 1.0, plasmaBeta = 1.0, plasmaNoise = 100.0;
double morviAlpha = 3.0, morviBeta = 6.765, morviNoise = 100.0;
double noiseSigma = 100.0;
int noiseType = 0;
int erodeTimes[2] = {100, 100};
int dilateTimes[2] = {100, 100};
int mapSize = 249;
int mapSizeTable[5] = {249, 125, 63, 32, 16};
int maxWideness = 1024;
int maxHeight = 255;
int currentTool = kFixDraw;
double brushSize = 3.0;
double brushHeight = 10.0;
int displayZoom = 1;
int passRequest = 0, exportRequest = 0, closeRequest = 0;

int renderMode = 0;
float yaw = 0, pitch = 0, yawDrag = 0, pitchDrag = 0;
float camX = 0.0f, camY = -0.8f, camZ = -2.7f;
int dragAnchorX = 0, dragAnchorY = 0, zoomLastY = 0;
Rgb minColor = {0, 0, 0}, meanColor = {127, 127, 127}, maxColor = {255, 255, 255};

void ResetDefaults() {
  plasmaAlpha = 1.0;
  plasmaBeta = 1.0;
  plasmaNoise = 100.0;
  morviAlpha = 3.0;
  morviBeta = 6.765;
  morviNoise = 100.0;
  noiseSigma = 100.0;
  noiseType = 0;
  erodeTimes[0] = erodeTimes[1] = 100;
  dilateTimes[0] = dilateTimes[1] = 100;
  mapSize = 249;
  const int sides[5] = {249, 125, 63, 32, 16};
  for (int i = 0; i < 5; ++i) mapSizeTable[i] = sides[i];
  maxWideness = 1024;
  maxHeight = 255;
  currentTool = kFixDraw;
  brushSize = 3.0;
  brushHeight = 10.0;
  displayZoom = 1;
  passRequest = exportRequest = closeRequest = 0;
}

int MapSizeIndex(int side) {
  for (int i = 0; i < 5; ++i)
    if (mapSizeTable[i] == side) return i;
  return -1;
}

void SyncMapSizeToHeightmap() { mapSize = heightmap.width(); }
