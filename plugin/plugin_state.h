// The process-wide state every part of the plug-in shares. Plain variables on
// purpose: they live as long as the module, are touched only from the GUI
// thread, and some of them outlive a run (see the groups below).
#pragma once

#include "plugin/host_contract.h"
#include "terrain/heightmap.h"

class MyGlWin;
class ControlWindow;

// The editor's tools, in the order of the control window's tool buttons' values.
enum DrawTool {
  kFixDraw = 0,
  kCreateMountain = 1,
  kCreateDepression = 2,
  kNoiseZone = 3,
  kBlurZone = 4,
  kPaintPlainBrush = 5,
};

struct Rgb {
  unsigned char r, g, b;
};

// --- Run objects. The heightmap and the callback outlive runs; the window
// pointers belong to the run in progress and are null outside one.
extern HostCallback hostCallback;
extern Heightmap heightmap;  // 249 x 249 zeros at load
extern cimg_library::CImgDisplay* editorDisplay;
extern MyGlWin* previewWindow;
extern ControlWindow* controlWindow;

// --- Settings reset by ResetDefaults() at the start of every run.
extern double plasmaAlpha, plasmaBeta, plasmaNoise;
extern double morviAlpha, morviBeta, morviNoise;
extern double noiseSigma;
extern int noiseType;       // NoiseKind
extern int erodeTimes[2];   // per filter slot
extern int dilateTimes[2];  // per filter slot
extern int mapSize;         // side of the heightmap, one of mapSizeTable
extern int mapSizeTable[5];
extern int maxWideness;     // world units
extern int maxHeight;       // world units
extern int currentTool;     // DrawTool
extern double brushSize;    // brush half-width in samples
extern double brushHeight;  // tool height, 0..255
extern int displayZoom;     // editor magnification, >= 1
extern int passRequest, exportRequest, closeRequest;

// --- Settings that keep their values from one run to the next.
extern int renderMode;                        // 0 colour shaded, otherwise wire frame
extern float yaw, pitch, yawDrag, pitchDrag;  // degrees
extern float camX, camY, camZ;
extern int dragAnchorX, dragAnchorY, zoomLastY;  // pixels
extern Rgb minColor, meanColor, maxColor;

// Writes every per-run default, nothing else.
void ResetDefaults();

// Index of side in mapSizeTable, or -1.
int MapSizeIndex(int side);

// A run may start with a heightmap another run resized; mapSize follows the
// map so that nothing reads past it.
void SyncMapSizeToHeightmap();
