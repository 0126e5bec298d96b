// Image files through the Windows FreeImage, built here from Debian's codec
// sources: each format of the dialogs' common list loads at the right map
// size, a saved PNG holds exactly the map, and no temporary file stays behind.
// <windows.h> first: FreeImage.h otherwise declares its own BOOL, BYTE etc.
// and hides the real ones.
#include <windows.h>
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <string>

#include "imagefiles/image_files.h"
#include "plugin/plugin_state.h"

namespace {

std::string TempDir() {
  char dir[MAX_PATH];
  GetTempPathA(sizeof(dir), dir);
  return dir;
}

int LeftoverTempFiles() {
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((TempDir() + "lan*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return 0;
  int n = 0;
  do ++n; while (FindNextFileA(h, &data));
  FindClose(h);
  return n;
}

// A w x h grey picture: a horizontal ramp, 0 on the left to 255 on the right.
std::string WriteRamp(const std::string& name, FREE_IMAGE_FORMAT fif, int w, int h) {
  FIBITMAP* grey = FreeImage_Allocate(w, h, 8);
  RGBQUAD* pal = FreeImage_GetPalette(grey);
  for (int i = 0; i < 256; ++i) pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = BYTE(i);
  for (int y = 0; y < h; ++y) {
    BYTE* row = FreeImage_GetScanLine(grey, y);
    for (int x = 0; x < w; ++x) row[x] = BYTE(x * 255 / (w - 1));
  }
  FIBITMAP* out = fif == FIF_JPEG || fif == FIF_TARGA ? FreeImage_ConvertTo24Bits(grey) : grey;
  std::string path = TempDir() + name;
  EXPECT_TRUE(FreeImage_Save(fif, out, path.c_str(), 0)) << name;
  if (out != grey) FreeImage_Unload(out);
  FreeImage_Unload(grey);
  return path;
}

TEST(WindowsImageFiles, EveryCommonFormatLoadsAsAStretchedGreyMap) {
  struct Case { const char* name; FREE_IMAGE_FORMAT fif; int w, h, side; int tolerance; };
  const Case cases[] = {
      {"ramp.png", FIF_PNG, 100, 100, 125, 2},  {"ramp.bmp", FIF_BMP, 640, 480, 249, 2},
      {"ramp.tif", FIF_TIFF, 96, 96, 63, 2},    {"ramp.tga", FIF_TARGA, 20, 10, 16, 2},
      {"ramp.jpg", FIF_JPEG, 200, 150, 249, 8}, {"ramp.pgm", FIF_PGMRAW, 10, 10, 249, 2},
  };
  const int before = LeftoverTempFiles();
  for (const Case& c : cases) {
    std::string path = WriteRamp(c.name, c.fif, c.w, c.h);
    Heightmap map;
    int index = -1;
    ImageFileResult r = LoadImageFile(path, &map, &index);
    ASSERT_TRUE(r.ok) << c.name << ": " << r.message;
    ASSERT_EQ(map.width(), c.side) << c.name;
    ASSERT_EQ(map.height(), c.side) << c.name;
    EXPECT_EQ(mapSizeTable[index], c.side) << c.name;
    // The ramp survives the stretch: each column near x * 255 / (side - 1).
    for (int y = 0; y < c.side; y += 7)
      for (int x = 2; x < c.side - 2; x += 5)
        EXPECT_NEAR(map(x, y), x * 255.0 / (c.side - 1), c.tolerance + 255.0 / c.w * 2)
            << c.name << " at " << x << "," << y;
    DeleteFileA(path.c_str());
  }
  EXPECT_EQ(LeftoverTempFiles(), before);
}

TEST(WindowsImageFiles, PngSaveHoldsTheMapExactlyAndUnknownExtensionsWriteNothing) {
  Heightmap map(63, 63, 1, 1, 0);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>((x * 7 + y * 13) & 255);
  const int before = LeftoverTempFiles();
  std::string png = TempDir() + "saved.png";
  ASSERT_TRUE(SaveImageFile(png, map).ok);
  FIBITMAP* back = FreeImage_Load(FIF_PNG, png.c_str(), 0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(FreeImage_GetBPP(back), 8u);
  ASSERT_EQ(FreeImage_GetWidth(back), 63u);
  ASSERT_EQ(FreeImage_GetHeight(back), 63u);
  int wrong = 0;
  for (int y = 0; y < 63; ++y) {
    BYTE* row = FreeImage_GetScanLine(back, 62 - y);  // FreeImage stores bottom-up
    for (int x = 0; x < 63; ++x) wrong += row[x] != ((x * 7 + y * 13) & 255);
  }
  EXPECT_EQ(wrong, 0);
  FreeImage_Unload(back);
  DeleteFileA(png.c_str());

  std::string bare = TempDir() + "no_extension";
  SaveImageFile(bare, map);
  EXPECT_EQ(GetFileAttributesA(bare.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(LeftoverTempFiles(), before);
}

}  // namespace
