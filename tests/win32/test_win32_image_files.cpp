// The Windows FreeImage, built from Debian's codec sources: the common formats load stretched
// to the map size, a saved PNG holds the map, no temporary file stays. <windows.h> first:
// FreeImage.h otherwise declares its own BOOL, BYTE etc. and hides the real ones.
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

TEST(WindowsImageFiles, CommonFormatsLoadStretchedAndAPngSaveHoldsTheMap) {
  struct Case {
    const char* name;
    FREE_IMAGE_FORMAT fif;
    int w, h, side, tolerance;
  };
  const Case cases[] = {
      {"ramp.png", FIF_PNG, 100, 100, 125, 2},  {"ramp.bmp", FIF_BMP, 640, 480, 249, 2},
      {"ramp.tif", FIF_TIFF, 96, 96, 63, 2},    {"ramp.tga", FIF_TARGA, 20, 10, 16, 2},
      {"ramp.jpg", FIF_JPEG, 200, 150, 249, 8}, {"ramp.pgm", FIF_PGMRAW, 10, 10, 249, 2}};
  const int before = LeftoverTempFiles();
  for (const Case& c : cases) {  // a grey ramp along x: 0 on the left, 255 on the right
    FIBITMAP* grey = FreeImage_Allocate(c.w, c.h, 8);
    RGBQUAD* pal = FreeImage_GetPalette(grey);
    for (int i = 0; i < 256; ++i) pal[i].rgbRed = pal[i].rgbGreen = pal[i].rgbBlue = BYTE(i);
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) FreeImage_GetScanLine(grey, y)[x] = BYTE(x * 255 / (c.w - 1));
    FIBITMAP* out =
        c.fif == FIF_JPEG || c.fif == FIF_TARGA ? FreeImage_ConvertTo24Bits(grey) : grey;
    const std::string path = TempPath(c.name);
    ASSERT_TRUE(FreeImage_Save(c.fif, out, path.c_str(), 0)) << c.name;
    if (out != grey) FreeImage_Unload(out);
    FreeImage_Unload(grey);
    Heightmap map;
    int index = -1;
    ImageFileResult r = LoadImageFile(path, &map, &index);
    DeleteFileA(path.c_str());
    ASSERT_TRUE(r.ok) << c.name << ": " << r.message;
    ASSERT_TRUE(map.width() == c.side && map.height() == c.side) << c.name;
    EXPECT_EQ(mapSizeTable[index], c.side) << c.name;
    for (int y = 0; y < c.side; y += 7)
      for (int x = 2; x < c.side - 2; x += 5)
        ASSERT_NEAR(map(x, y), x * 255.0 / (c.side - 1), c.tolerance + 510.0 / c.w)
            << c.name << " at " << x << "," << y;
  }
  Heightmap map(63, 63, 1, 1, 0);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>((x * 7 + y * 13) & 255);
  const std::string png = TempPath("saved.png");
  ASSERT_TRUE(SaveImageFile(png, map).ok);
  FIBITMAP* back = FreeImage_Load(FIF_PNG, png.c_str(), 0);
  ASSERT_TRUE(back && FreeImage_GetBPP(back) == 8 && FreeImage_GetWidth(back) == 63 &&
              FreeImage_GetHeight(back) == 63);
  int wrong = 0;
  cimg_forXY(map, x, y) wrong +=
      FreeImage_GetScanLine(back, 62 - y)[x] != map(x, y);  // bottom-up rows
  EXPECT_EQ(wrong, 0);
  FreeImage_Unload(back);
  DeleteFileA(png.c_str());
  EXPECT_EQ(LeftoverTempFiles(), before);
}

}  // namespace
