// The Windows FreeImage, built from Debian's codec sources: the formats that the comparison
// with Linux does not load (it loads a JPEG and a PNG) load stretched to the map size, a saved
// PNG holds the map, no temporary file stays. <windows.h> first: FreeImage.h otherwise
// declares its own BOOL, BYTE etc. and hides the real ones.
#include <windows.h>
// (kept above by this line: include sorting would put FreeImage.h first)
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <string>

#include "imagefiles/image_files.h"
#include "plugin/plugin_state.h"

namespace {

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  return std::string(dir) + name;
}

int LeftoverTempFiles() {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA(TempPath("lan*").c_str(), &data);
  int n = h != INVALID_HANDLE_VALUE;
  while (n && FindNextFileA(h, &data)) ++n;
  if (n) FindClose(h);
  return n;
}

// A grey ramp along x, 0 on the left, 255 on the right, as 24-bit colour.
TEST(WindowsImageFiles, FormatsLoadStretchedToTheMapSize) {
  const struct {
    const char* name;
    FREE_IMAGE_FORMAT fif;
    int w, h, side;
  } cases[] = {{"ramp.bmp", FIF_BMP, 640, 480, 249},
               {"ramp.tif", FIF_TIFF, 96, 96, 63},
               {"ramp.tga", FIF_TARGA, 20, 10, 16},
               {"ramp.pgm", FIF_PGMRAW, 10, 10, 249}};
  const int before = LeftoverTempFiles();
  for (const auto& c : cases) {
    FIBITMAP* ramp = FreeImage_Allocate(c.w, c.h, 24);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < 3 * c.w; ++x)
        FreeImage_GetScanLine(ramp, y)[x] = BYTE(x / 3 * 255 / (c.w - 1));
    FIBITMAP* out = c.fif == FIF_PGMRAW ? FreeImage_ConvertTo8Bits(ramp) : FreeImage_Clone(ramp);
    const std::string path = TempPath(c.name);
    ASSERT_TRUE(FreeImage_Save(c.fif, out, path.c_str(), 0)) << c.name;
    FreeImage_Unload(out);
    FreeImage_Unload(ramp);
    Heightmap map;
    int index = -1;
    ImageFileResult r = LoadImageFile(path, &map, &index);
    DeleteFileA(path.c_str());
    ASSERT_TRUE(r.ok) << c.name << ": " << r.message;
    ASSERT_EQ(map.width(), c.side) << c.name;
    EXPECT_EQ(mapSizeTable[index], c.side) << c.name;
    for (int y = 0; y < c.side; y += 7)
      for (int x = 2; x < c.side - 2; x += 5)
        ASSERT_NEAR(map(x, y), x * 255.0 / (c.side - 1), 2 + 510.0 / c.w)
            << c.name << " at " << x << "," << y;
  }
  EXPECT_EQ(LeftoverTempFiles(), before);
}

TEST(WindowsImageFiles, SavedPngHoldsTheMapTopRowFirst) {
  Heightmap map(63, 63, 1, 1, 0);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>((x * 7 + y * 13) & 255);
  const std::string png = TempPath("saved.png");
  ASSERT_TRUE(SaveImageFile(png, map).ok);
  FIBITMAP* back = FreeImage_Load(FIF_PNG, png.c_str(), 0);
  DeleteFileA(png.c_str());
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(FreeImage_GetBPP(back), 8u);
  ASSERT_EQ(FreeImage_GetWidth(back), 63u);
  int wrong = 0;
  cimg_forXY(map, x, y) wrong += FreeImage_GetScanLine(back, 62 - y)[x] != map(x, y);  // bottom-up
  EXPECT_EQ(wrong, 0);
  FreeImage_Unload(back);
}

}  // namespace
