// Writes the map text a run hands to the host after loading one image file,
// from a fresh run's settings: the same program built for Linux and for
// Windows must write the same bytes.
//   map_text_of_image IMAGE OUT
#include <cstdio>
#include <fstream>

#include "export/map_text.h"
#include "imagefiles/image_files.h"
#include "plugin/plugin_state.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: map_text_of_image IMAGE OUT\n");
    return 2;
  }
  ResetDefaults();
  Heightmap map;
  int index = -1;
  ImageFileResult r = LoadImageFile(argv[1], &map, &index);
  if (!r.ok) {
    std::fprintf(stderr, "map_text_of_image: %s\n", r.message.c_str());
    return 1;
  }
  heightmap = map;
  mapSize = mapSizeTable[index];
  std::ofstream out(argv[2], std::ios::binary);
  out << BuildMapText(MapTextForm::Host);
  return out ? 0 : 1;
}
