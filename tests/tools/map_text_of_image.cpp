// map_text_of_image IMAGE OUT: the map text a fresh run hands to the host after loading
// IMAGE; the Linux and Windows builds must write the same bytes.
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
  int index = -1;
  ImageFileResult r = LoadImageFile(argv[1], &heightmap, &index);
  if (!r.ok) {
    std::fprintf(stderr, "map_text_of_image: %s\n", r.message.c_str());
    return 1;
  }
  mapSize = mapSizeTable[index];
  std::ofstream out(argv[2], std::ios::binary);
  return out << BuildMapText(MapTextForm::Host) ? 0 : 1;
}
