#include <FL/Fl_Choice.H>
#include <FreeImage.h>
#include <FL/filename.H>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "imagefiles/image_files.h"
#include "platform/platform_fltk.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"
#include "tests/support/run_driver.h"
#include "ui/control_window.h"

namespace fs = std::filesystem;

namespace {

Heightmap Ramp(int side) {
  Heightmap map(side, side, 1, 1);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>(2 * x + y);
  return map;
}

// Each test has a private temporary directory, which must end up empty, and a
// directory for the user's files.
class ImageFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "image_files_XXXXXX").string();
    root_ = mkdtemp(templ.data());
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "user");
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(root_ / "tmp")) << "a temporary file was left behind";
    unsetenv("TMPDIR");
    fs::remove_all(root_);
  }
  std::string User(const std::string& name) { return (root_ / "user" / name).string(); }

  // A w x h colour image, blue above yellow (Rec. 709 luma 18 and 237).
  std::string MakeImage(const std::string& name, int w, int h) {
    FIBITMAP* b = FreeImage_Allocate(w, h, 24);
    for (int y = 0; y < h; ++y)  // from the top; FreeImage counts scan lines from the bottom
      for (int x = 0; x < w; ++x) {
        BYTE top = y < h / 2 ? 255 : 0;
        RGBQUAD c{top, BYTE(255 - top), BYTE(255 - top), 0};
        FreeImage_SetPixelColor(b, x, h - 1 - y, &c);
      }
    std::string path = User(name);
    EXPECT_TRUE(FreeImage_Save(FreeImage_GetFIFFromFilename(path.c_str()), b, path.c_str(), 0));
    FreeImage_Unload(b);
    return path;
  }

  // A w x h image of FreeImage's type and bits per pixel: channel c (red,
  // green, blue, alpha) of pixel (x, y) from the top is value(x, y, c).
  std::string MakeTyped(const std::string& name, FREE_IMAGE_TYPE type, int bpp, int w, int h,
                        const std::function<unsigned(int, int, int)>& value) {
    FIBITMAP* b = FreeImage_AllocateT(type, w, h, bpp);
    const bool wide = type != FIT_BITMAP;
    const int channels = bpp / (wide ? 16 : 8);
    const int order[4] = {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE, FI_RGBA_ALPHA};
    for (int y = 0; y < h; ++y) {
      BYTE* line = FreeImage_GetScanLine(b, h - 1 - y);
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < channels; ++c) {
          const int at = x * channels + (wide || channels == 1 ? c : order[c]);
          if (wide) reinterpret_cast<WORD*>(line)[at] = static_cast<WORD>(value(x, y, c));
          else line[at] = static_cast<BYTE>(value(x, y, c));
        }
    }
    std::string path = User(name);
    EXPECT_TRUE(FreeImage_Save(FIF_PNG, b, path.c_str(), 0));
    FreeImage_Unload(b);
    return path;
  }

  // Loads into a 5 x 5 map of 7s with index 3, so that untouched output shows.
  ImageFileResult Load(const std::string& path, Heightmap* map, int* index) {
    map->assign(5, 5, 1, 1, 7);
    *index = 3;
    return LoadImageFile(path, map, index);
  }

  fs::path root_;
  ScopedFakePlatform platform_;
};

TEST(MapSizeRule, PicksLargestSideWithinOnePointThreeOfLongerImageSide) {
  const struct { int m, index; } rows[] = {{10000, 0}, {192, 0}, {191, 1}, {97, 1}, {96, 2},
                                           {49, 2},    {48, 3},  {25, 3},  {24, 4}, {13, 4},
                                           {12, 0},    {1, 0}};
  for (auto row : rows) EXPECT_EQ(PickMapSizeIndex(row.m, mapSizeTable, 5), row.index) << row.m;
}

TEST_F(ImageFilesTest, LoadsCommonFormatsAsStretchedLuminanceAtPickedSize) {
  const struct { const char* name; int w, h, index; } rows[] = {
      {"photo.png", 640, 480, 0}, {"a.jpg", 100, 100, 1}, {"b.bmp", 96, 96, 2},
      {"c.tga", 20, 10, 4},       {"d.png", 10, 10, 0}, {"e.png", 150, 300, 0}};
  for (auto row : rows) {
    Heightmap map;
    int index, side = mapSizeTable[row.index];
    ASSERT_TRUE(Load(MakeImage(row.name, row.w, row.h), &map, &index).ok) << row.name;
    EXPECT_TRUE(index == row.index && map.width() == side && map.height() == side) << row.name;
    EXPECT_NEAR(map(side / 2, side / 5), 18, 4) << row.name;
    EXPECT_NEAR(map(side / 2, side - 1 - side / 5), 237, 4) << row.name;
  }
}

// Deep colour loads as its 32-bit conversion does, keeping each channel's high
// byte; 16-bit grey keeps its relief as v / 257. Low bytes below the high ones
// tell the two rules apart.
TEST_F(ImageFilesTest, DeepImagesLoadAsTheirEightBitCounterparts) {
  auto deep = [](int x, int y, int c) { return unsigned(x * 1601 + y * 703 + c * 20000) % 65536; };
  const struct { FREE_IMAGE_TYPE type; int bpp, twinBpp; unsigned divisor; } rows[] = {
      {FIT_RGB16, 48, 24, 256}, {FIT_RGBA16, 64, 32, 256}, {FIT_UINT16, 16, 8, 257}};
  for (auto row : rows) {
    const std::string deepPath = MakeTyped("deep.png", row.type, row.bpp, 40, 30, deep);
    const std::string twinPath = MakeTyped("twin.png", FIT_BITMAP, row.twinBpp, 40, 30,
                                           [&](int x, int y, int c) { return deep(x, y, c) / row.divisor; });
    Heightmap map, twin;
    int index, twinIndex;
    ASSERT_TRUE(Load(deepPath, &map, &index).ok) << row.bpp;
    ASSERT_TRUE(Load(twinPath, &twin, &twinIndex).ok) << row.bpp;
    EXPECT_TRUE(index == 3 && map == twin) << row.bpp;
  }
  fs::rename(MakeImage("e.ppm", 30, 30), User("e.pnm"));  // ".pnm" names no format
  Heightmap map;
  int index;
  EXPECT_TRUE(Load(User("e.pnm"), &map, &index).ok && index == 3 && map.width() == 32);
  // The longest side allowed.
  EXPECT_TRUE(Load(MakeImage("wide.png", 65536, 2), &map, &index).ok && map.width() == 249);
}

TEST_F(ImageFilesTest, UnreadableOrHugeImagesChangeNothingAndSayWhy) {
  std::ofstream(User("text.bmp")) << "not an image";
  std::ofstream(User("noext")) << "not an image";
  std::string cut = MakeImage("cut.png", 64, 64);
  fs::resize_file(cut, fs::file_size(cut) / 2);
  // A real 9000 x 8000 PNG cut right after its header: only a reader that
  // never decodes the pixels can tell its size.
  FIBITMAP* huge = FreeImage_Allocate(9000, 8000, 1);
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, huge, User("huge.png").c_str(), 0));
  FreeImage_Unload(huge);
  std::ifstream in(User("huge.png"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  fs::resize_file(User("huge.png"), bytes.find("IDAT") + 4);
  ASSERT_EQ(FreeImage_Load(FIF_PNG, User("huge.png").c_str(), 0), nullptr);

  std::ofstream(User("empty.png")) << "";
  fs::create_directories(User("folder.png"));
  // Found by fuzzing: a PGM 55 million pixels long ran the rescale out of memory.
  std::ofstream(User("long.pgm"), std::ios::binary)
      << std::string("P5\x0e\xd3\xca\x06" "55111111\x0e" "1\x9c" "11\0\0a\0", 22);
  const struct { const char* name; const char* why; } rows[] = {
      {"text.bmp", "could not be read"}, {"noext", "not in an image format"},
      {"cut.png", "could not be read"}, {"huge.png", "9000 x 8000 pixels"},
      {"empty.png", "could not be read"}, {"folder.png", "could not be read"},
      {"long.pgm", "too large"}};
  for (auto row : rows) {
    Heightmap map;
    int index;
    ImageFileResult r = Load(User(row.name), &map, &index);
    EXPECT_NE(r.message.find(row.why), std::string::npos) << r.message;
    EXPECT_TRUE(!r.ok && index == 3 && map.width() == 5 && map(2, 2) == 7) << row.name;
  }
}

TEST_F(ImageFilesTest, SaveThatCannotHappenWritesNothingAndSaysWhy) {
  const struct { const char* name; const char* why; } rows[] = {
      {"plain", "no extension"}, {"map.zzz", "no image format"}, {"map.pcx", "cannot store"},
      {"map.ico", "cannot store"}, {"missing/map.png", std::strerror(ENOENT)}};
  for (auto row : rows) {
    // Icons stop at 256 pixels: FreeImage gives up after creating the file.
    ImageFileResult r = SaveImageFile(User(row.name), Ramp(300));
    EXPECT_FALSE(r.ok) << row.name;
    EXPECT_NE(r.message.find(row.why), std::string::npos) << r.message;
  }
  EXPECT_TRUE(fs::is_empty(root_ / "user"));
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// A save that cannot be completed (the file-size limit stands in for a full
// disk), or whose format FreeImage cannot read back, says why and leaves the
// old file exactly as it was.
TEST_F(ImageFilesTest, FailedSaveSaysWhyAndKeepsTheOldFile) {
  const std::string bmp = MakeImage("old.bmp", 20, 20), psd = User("old.psd");
  std::ofstream(psd) << "old";
  const std::string oldBmp = ReadAll(bmp);
  rlimit old, small;
  getrlimit(RLIMIT_FSIZE, &old);
  small = old;
  small.rlim_cur = 63000;  // the temporary PGM of 249 x 249 fits, the BMP does not
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ImageFileResult full = SaveImageFile(bmp, Ramp(249));
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  ImageFileResult photoshop = SaveImageFile(psd, Ramp(63));
  const std::string tooLarge = std::strerror(EFBIG);
  for (auto [r, path, why] : {std::tuple{full, bmp, tooLarge}, {photoshop, psd, "read"}}) {
    EXPECT_FALSE(r.ok) << path;
    EXPECT_NE(r.message.find(path), std::string::npos) << r.message;
    EXPECT_NE(r.message.find(why), std::string::npos) << r.message;
  }
  EXPECT_EQ(ReadAll(bmp), oldBmp);
  EXPECT_EQ(ReadAll(psd), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ / "user"), {}), 2);
}

TEST_F(ImageFilesTest, TemporaryPgmHasCreatorHeaderAndReadBackChecksTheSide) {
  Heightmap ramp = Ramp(16);
  ASSERT_TRUE(WriteRawPgm(User("t.pgm"), ramp));
  std::ifstream in(User("t.pgm"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, "P5\n# CREATOR: CImg : Original size=16x16x1x1\n16 16\n255\n" +
                       std::string(ramp.data(), ramp.data() + 256));
  Heightmap map;
  EXPECT_TRUE(ReadRawPgm(User("t.pgm"), 16, &map) && map == ramp);
  EXPECT_FALSE(ReadRawPgm(User("t.pgm"), 32, &map));
}

TEST_F(ImageFilesTest, SaveAsPngThenLoadInARunGivesTheMapAtItsSize) {
  std::ofstream(User("text.bmp")) << "not an image";
  // A progressive JPEG cut short: reading its header and then all of it meet
  // the missing end twice; the user hears of it once.
  FIBITMAP* photo = FreeImage_Allocate(256, 256, 24);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) FreeImage_GetScanLine(photo, y)[x * 3] = BYTE(x * y);
  ASSERT_TRUE(FreeImage_Save(FIF_JPEG, photo, User("cut.jpg").c_str(), JPEG_PROGRESSIVE));
  FreeImage_Unload(photo);
  fs::resize_file(User("cut.jpg"), fs::file_size(User("cut.jpg")) / 2);
  FakePlatform& fake = platform_.fake;
  fake.saveAnswers = {User("map.png")};
  fake.openAnswers = {User("text.bmp"), User("cut.jpg"), User("map.png")};
  const Heightmap ramp = Ramp(63);
  RunWithSteps({[&] {
    heightmap = ramp;
    mapSize = 63;
    controlWindow->SaveImage(nullptr, nullptr);
    heightmap.fill(0);
    controlWindow->LoadImage(nullptr, nullptr);  // unreadable: nothing changes
    EXPECT_STREQ(controlWindow->mapDimensionsChoice->text(), "249x249 px");
    EXPECT_TRUE(heightmap.width() == 63 && heightmap.max() == 0 && fake.messages.size() == 1);
    controlWindow->LoadImage(nullptr, nullptr);
    ASSERT_EQ(fake.messages.size(), 2u);
    EXPECT_EQ(fake.messages[1].text, "2 : Premature end of JPEG file");
    displayZoom = 3;
    controlWindow->LoadImage(nullptr, nullptr);
    EXPECT_STREQ(controlWindow->mapDimensionsChoice->text(), "63x63 px");
    EXPECT_TRUE(mapSize == 63 && displayZoom == 1 && editorDisplay->width() == 63);
  }});
  EXPECT_EQ(fake.openDialogs.at(0).title, "Load Image file");
  EXPECT_EQ(fake.messages.size(), 2u);
  EXPECT_LE((cimg_library::CImg<int>(heightmap) - cimg_library::CImg<int>(ramp)).abs().max(), 8);

  FIBITMAP* saved = FreeImage_Load(FIF_PNG, User("map.png").c_str(), 0);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(FreeImage_GetFileType(User("map.png").c_str()), FIF_PNG);
  EXPECT_TRUE(FreeImage_GetColorType(saved) == FIC_MINISBLACK && FreeImage_GetBPP(saved) == 8);
  EXPECT_TRUE(FreeImage_GetWidth(saved) == 63 && FreeImage_GetHeight(saved) == 63);
  EXPECT_EQ(FreeImage_GetScanLine(saved, 62)[10], ramp(10, 0));  // top row stays on top
  FreeImage_Unload(saved);
}

// The chooser shows each "name<TAB>pattern" line as "name(pattern)" and picks
// files with the pattern: every extension shows once and matches its files.
TEST(FileDialogTypes, ShowEachPatternOnceAndMatchItsFiles) {
  std::vector<platform::FileFilter> all = LoadImageFilters();
  all.insert(all.end(), SaveImageFilters().begin(), SaveImageFilters().end());
  all.push_back({"QMF files(*.qmf)", "*.qmf"});
  const std::string text = platform::ToolkitFilterText(all);
  std::size_t start = 0;
  for (const platform::FileFilter& f : all) {
    const std::size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    const std::string name = line.substr(0, tab), pattern = line.substr(tab + 1);
    const std::string shown = name + "(" + pattern + ")";
    EXPECT_EQ(f.description.rfind(name, 0), 0u) << shown;  // the description's own words
    std::vector<std::string> tokens;
    std::string word;
    for (char c : shown + " ") {
      if (isalnum(static_cast<unsigned char>(c))) {
        word += c;
      } else if (!word.empty()) {
        tokens.push_back(word);
        word.clear();
      }
    }
    for (std::size_t p = 0; p < f.patterns.size();) {
      std::size_t semi = f.patterns.find(';', p);
      if (semi == std::string::npos) semi = f.patterns.size();
      const std::string ext = f.patterns.substr(p + 2, semi - p - 2);  // after "*."
      p = semi + 1;
      EXPECT_EQ(std::count(tokens.begin(), tokens.end(), ext), 1) << ext << " in " << shown;
      EXPECT_TRUE(fl_filename_match(("map." + ext).c_str(), pattern.c_str())) << ext << " " << pattern;
    }
    EXPECT_FALSE(fl_filename_match("map.txt", pattern.c_str())) << pattern;
  }
  EXPECT_EQ(start, text.size());
}

}  // namespace
