// Image files as heightmaps: FreeImage reads and writes the user's file, the
// heightmap side reads and writes a temporary raw PGM between the two. Knows
// CImg and FreeImage, nothing of the windows; the caller shows the dialogs,
// the messages and the new map.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "terrain/heightmap.h"

// The outcome of a load or save; a failure always says why.
struct ImageFileResult {
  bool ok = false;
  std::string message;  // for a "Warning" box
};

// Images beyond this many pixels are refused before their pixels are decoded:
// the conversion holds them at 32 bits per pixel.
constexpr unsigned long long kMaxImagePixels = 64000000ULL;
// Nor a longer side beyond this: the bicubic rescale keeps a weight table that
// grows with the side, gigabytes for a picture millions of pixels long.
constexpr unsigned kMaxImageSide = 65536;

extern const char kLoadImageTitle[];  // "Load Image file"
extern const char kSaveImageTitle[];  // "Save Image file"
// The dialogs' type lists, first line selected.
const std::vector<platform::FileFilter>& LoadImageFilters();
const std::vector<platform::FileFilter>& SaveImageFilters();

// Index into sides (the map sizes) for an image whose longer side is m pixels:
// the largest side not more than 1.3 times m, or index 0 when every side is.
int PickMapSizeIndex(int m, const int* sides, int count);

// Sends FreeImage's own messages (its format number and text) to show. Within
// one load or save each distinct message is sent once.
void RouteFreeImageMessages(void (*show)(int format, const char* message));

// Reads the image file at path as a square greyscale map of one of the five
// map sizes (mapSizeTable), stretched to the square. On success *map and
// *sizeIndex hold the result; on failure neither is touched. A file that is
// not a regular one, or whose data FreeImage finds corrupt, is refused.
// Temporary files are gone when it returns.
ImageFileResult LoadImageFile(const std::string& path, Heightmap* map, int* sizeIndex);

// Writes map as an 8-bit greyscale image in the format that path's extension
// names. A failed save leaves the old file as it was and no new file behind;
// so does a format whose output FreeImage cannot read back.
ImageFileResult SaveImageFile(const std::string& path, const Heightmap& map);

// The temporary file's format: raw PGM with CImg's creator comment.
bool WriteRawPgm(const std::string& path, const Heightmap& map);
// Reads a PNM file that must hold a side x side image; false if it cannot.
bool ReadRawPgm(const std::string& path, int side, Heightmap* map);
