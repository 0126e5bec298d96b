// libFuzzer target: any bytes, saved as an image file of one of the types the
// load dialog offers, through the whole load path up to the heightmap.
#include <stdlib.h>

#include <cstdio>
#include <string>

#include "imagefiles/image_files.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  static const char* const kTypes[] = {".bmp", ".jpg", ".tga", ".psd", ".tif", ".png", ".pgm",
                                       ".ppm", ".pcx", ".ico", ".xpm", ".ras", ".iff", ".wbmp"};
  static char dir[] = "/tmp/relievo-fuzzXXXXXX";
  static const bool made =
      mkdtemp(dir) && setenv("TMPDIR", dir, 1) == 0;  // the load's temporaries too
  if (size < 1 || !made) return 0;
  const std::string path = std::string(dir) + "/input" + kTypes[data[0] % 14];
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);
  Heightmap map(16, 16, 1, 1, 9);
  int index = -1;
  // A load gives a square map of one of the five sizes; a failed one leaves the map alone.
  if (LoadImageFile(path, &map, &index).ok
          ? index < 0 || index > 4 || map.width() != map.height() || map.spectrum() != 1
          : map.width() != 16 || index != -1)
    __builtin_trap();
  std::remove(path.c_str());
  return 0;
}
