#include <FreeImage.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "imagefiles/image_files.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"

namespace fs = std::filesystem;

namespace {

// Every test gets its own temporary directory (where "land" files must not
// stay behind) and its own directory for the user's files.
class ImageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "image_files_XXXXXX").string();
    root_ = mkdtemp(templ.data());
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "user");
    oldTmp_ = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(root_ / "tmp")) << "a temporary file was left behind";
    fs::remove_all(root_);
    if (oldTmp_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", oldTmp_.c_str(), 1);
  }
  std::string User(const std::string& name) { return (root_ / "user" / name).string(); }

  // A w x h colour image: the top half blue, the bottom half yellow.
  std::string MakeImage(const std::string& name, int w, int h) {
    FIBITMAP* b = FreeImage_Allocate(w, h, 24);
    for (int y = 0; y < h; ++y) {  // FreeImage stores the bottom row first
      BYTE* row = FreeImage_GetScanLine(b, h - 1 - y);
      for (int x = 0; x < w; ++x) {
        bool top = y < h / 2;
        row[3 * x + FI_RGBA_RED] = top ? 0 : 255;
        row[3 * x + FI_RGBA_GREEN] = top ? 0 : 255;
        row[3 * x + FI_RGBA_BLUE] = top ? 255 : 0;
      }
    }
    std::string path = User(name);
    EXPECT_TRUE(FreeImage_Save(FreeImage_GetFIFFromFilename(path.c_str()), b, path.c_str(), 0));
    FreeImage_Unload(b);
    return path;
  }

  fs::path root_;
  std::string oldTmp_;
  ScopedFakePlatform platform_;
};

Heightmap Ramp(int side) {
  Heightmap map(side, side, 1, 1);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>(2 * x + y);
  return map;
}

TEST(MapSizeRule, PicksLargestSideWithinOnePointThreeOfLongerImageSide) {
  const struct { int m, index; } rows[] = {{10000, 0}, {192, 0}, {191, 1}, {97, 1}, {96, 2},
                                           {49, 2},    {48, 3},  {25, 3},  {24, 4}, {13, 4},
                                           {12, 0},    {1, 0}};
  for (auto row : rows) EXPECT_EQ(PickMapSizeIndex(row.m, mapSizeTable, 5), row.index) << row.m;
}

TEST_F(ImageFilesTest, LoadsCommonFormatsAsStretchedLuminanceAtPickedSize) {
  const struct { const char* name; int w, h, index; } rows[] = {
      {"photo.png", 640, 480, 0}, {"a.jpg", 100, 100, 1}, {"b.bmp", 96, 96, 2},
      {"c.tga", 20, 10, 4},       {"d.png", 10, 10, 0}};
  for (auto row : rows) {
    Heightmap map;
    int index = -1;
    ImageFileResult r = LoadImageFile(MakeImage(row.name, row.w, row.h), &map, &index);
    ASSERT_TRUE(r.ok) << row.name << ": " << r.message;
    int side = mapSizeTable[row.index];
    EXPECT_EQ(index, row.index) << row.name;
    EXPECT_EQ(map.width(), side);
    EXPECT_EQ(map.height(), side);
    EXPECT_EQ(map.spectrum(), 1);
    // Blue above yellow, stretched over the whole square: Rec. 709 luma 18 and 237.
    EXPECT_NEAR(map(side / 2, side / 5), 18, 4) << row.name;
    EXPECT_NEAR(map(side / 2, side - 1 - side / 5), 237, 4) << row.name;
  }
}

TEST_F(ImageFilesTest, LoadsSixteenBitGreyAndPnmByContent) {
  FIBITMAP* deep = FreeImage_AllocateT(FIT_UINT16, 40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) reinterpret_cast<WORD*>(FreeImage_GetScanLine(deep, y))[x] = 1000 * x;
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, deep, User("deep.png").c_str(), 0));
  FreeImage_Unload(deep);
  MakeImage("e.ppm", 30, 30);
  fs::rename(User("e.ppm"), User("e.pnm"));
  for (const char* name : {"deep.png", "e.pnm"}) {
    Heightmap map;
    int index = -1;
    EXPECT_TRUE(LoadImageFile(User(name), &map, &index).ok) << name;
    EXPECT_EQ(index, 3) << name;
  }
}

TEST_F(ImageFilesTest, UnreadableImagesChangeNothingAndSayWhy) {
  std::ofstream(User("text.bmp")) << "not an image";
  std::string png = MakeImage("whole.png", 64, 64);
  fs::resize_file(png, fs::file_size(png) / 2);
  std::ofstream(User("noext")) << "not an image";
  for (const char* name : {"text.bmp", "whole.png", "noext"}) {
    Heightmap map(5, 5, 1, 1, 7);
    int index = 3;
    ImageFileResult r = LoadImageFile(User(name), &map, &index);
    EXPECT_FALSE(r.ok) << name;
    EXPECT_NE(r.message.find(name), std::string::npos) << r.message;
    EXPECT_EQ(index, 3);
    EXPECT_EQ(map.width(), 5);
    EXPECT_EQ(map(2, 2), 7);
  }
}

TEST_F(ImageFilesTest, RefusesHugeImageFromItsHeaderAlone) {
  // A real 9000 x 8000 PNG cut right after its header: only a reader that
  // never decodes the pixels can tell its size.
  FIBITMAP* huge = FreeImage_Allocate(9000, 8000, 1);
  std::string path = User("huge.png");
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, huge, path.c_str(), 0));
  FreeImage_Unload(huge);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  fs::resize_file(path, bytes.find("IDAT") + 4);
  ASSERT_EQ(FreeImage_Load(FIF_PNG, path.c_str(), 0), nullptr);

  Heightmap map(5, 5, 1, 1, 7);
  int index = 3;
  ImageFileResult r = LoadImageFile(path, &map, &index);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("9000 x 8000 pixels"), std::string::npos) << r.message;
  EXPECT_EQ(index, 3);
  EXPECT_EQ(map.width(), 5);
}

TEST_F(ImageFilesTest, SavesEightBitGreyPngThatLoadsBackAtSameSize) {
  Heightmap map = Ramp(63);
  std::string path = User("map.png");
  ASSERT_TRUE(SaveImageFile(path, map).ok);
  FIBITMAP* saved = FreeImage_Load(FreeImage_GetFileType(path.c_str()), path.c_str(), 0);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(FreeImage_GetFileType(path.c_str()), FIF_PNG);
  EXPECT_EQ(FreeImage_GetBPP(saved), 8u);
  EXPECT_EQ(FreeImage_GetColorType(saved), FIC_MINISBLACK);
  EXPECT_EQ(FreeImage_GetWidth(saved), 63u);
  EXPECT_EQ(FreeImage_GetHeight(saved), 63u);
  EXPECT_EQ(FreeImage_GetScanLine(saved, 62)[10], map(10, 0));  // top row stays on top
  EXPECT_EQ(FreeImage_GetScanLine(saved, 0)[40], map(40, 62));
  FreeImage_Unload(saved);

  Heightmap back;
  int index = -1;
  ASSERT_TRUE(LoadImageFile(path, &back, &index).ok);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(back.width(), 63);
  EXPECT_LE((cimg_library::CImg<int>(back) - cimg_library::CImg<int>(map)).abs().max(), 8);  // the rescale smooths a little
}

TEST_F(ImageFilesTest, SaveThatCannotHappenWritesNothingAndSaysWhy) {
  const struct { const char* name; const char* why; } rows[] = {
      {"plain", "no extension"}, {"map.zzz", "no image format"}, {"map.pcx", "cannot store"},
      {"map.ico", "cannot be written"}, {"missing/map.png", "cannot be written"}};
  for (auto row : rows) {
    // Icons stop at 256 pixels: FreeImage gives up after creating the file.
    ImageFileResult r = SaveImageFile(User(row.name), Ramp(300));
    EXPECT_FALSE(r.ok) << row.name;
    EXPECT_NE(r.message.find(row.why), std::string::npos) << r.message;
  }
  EXPECT_TRUE(fs::is_empty(root_ / "user"));
}

TEST_F(ImageFilesTest, TemporaryPgmHasCreatorHeaderAndIsCheckedOnReadBack) {
  std::string path = User("t.pgm");
  ASSERT_TRUE(WriteRawPgm(path, Ramp(16)));
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  const std::string header = "P5\n# CREATOR: CImg : Original size=16x16x1x1\n16 16\n255\n";
  EXPECT_EQ(bytes.substr(0, header.size()), header);
  EXPECT_EQ(bytes.size(), header.size() + 256);

  Heightmap map(5, 5, 1, 1, 7);
  EXPECT_TRUE(ReadRawPgm(path, 16, &map));
  EXPECT_EQ(map, Ramp(16));
  EXPECT_FALSE(ReadRawPgm(path, 32, &map));  // not the side the conversion asked for
  std::ofstream(path) << "P5\n16 16\n255\nshort";
  EXPECT_FALSE(ReadRawPgm(path, 16, &map));
  EXPECT_EQ(map, Ramp(16));
}

TEST_F(ImageFilesTest, NoTemporaryFileMeansSilentFailure) {
  platform_.fake.failTempFiles = true;
  Heightmap map;
  int index = -1;
  ImageFileResult r = LoadImageFile(MakeImage("a.png", 20, 20), &map, &index);
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.message.empty());
  EXPECT_TRUE(SaveImageFile(User("b.png"), Ramp(16)).message.empty());
  EXPECT_FALSE(fs::exists(User("b.png")));
}

}  // namespace
