// libFuzzer target: any bytes, saved as an image file of one of the types the
// load dialog offers, through the whole load path up to the heightmap.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "imagefiles/image_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kExtensions[] = {".bmp", ".jpg", ".tga", ".psd", ".tif", ".png", ".pgm",
                                            ".ppm", ".pcx", ".ico", ".xpm", ".ras", ".iff", ".wbmp"};
  static const std::string dir = [] {
    char templ[] = "/tmp/relievo-fuzzXXXXXX";
    std::string d = mkdtemp(templ) ? templ : "/tmp";
    setenv("TMPDIR", d.c_str(), 1);  // the load's own temporary files go here too
    return d;
  }();
  if (size < 1) return 0;
  const std::string path = dir + "/input" + kExtensions[data[0] % 14];
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);
  Heightmap map(16, 16, 1, 1, 9);
  int index = -1;
  const bool ok = LoadImageFile(path, &map, &index).ok;
  // A load gives a square map of one of the five sizes; a failed one leaves the map alone.
  if (ok ? index < 0 || index > 4 || map.width() != map.height() || map.spectrum() != 1
         : map.width() != 16 || index != -1)
    __builtin_trap();
  std::remove(path.c_str());
  return 0;
}
