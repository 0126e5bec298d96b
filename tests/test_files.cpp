// Images loaded, refused and saved; the map exported and handed to the host; the exports.
#include <FreeImage.h>
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <functional>

#include "export/export_ops.h"
#include "export/map_text.h"
#include "imagefiles/image_files.h"
#include "platform/platform_fltk.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"
#include "tests/support/files.h"
#include "tests/support/heightmaps.h"
#include "ui/control_window.h"

namespace fs = std::filesystem;
using namespace std::string_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

// Short runs along x, for the run-length coders.
unsigned Runs(int x, int y, int c) { return unsigned(x / 6 * 37 + y * 11 + c * 50) % 256; }

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder.path / "tmp");
    setenv("TMPDIR", (folder / "tmp").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(folder.path / "tmp")) << "a temporary file was left behind";
    unsetenv("TMPDIR");
  }
  // An image saved by its extension: channel c (RGBA) of (x, y) from the top is value(x, y, c).
  std::string Make(const std::string& name, FREE_IMAGE_TYPE type, int bpp, int w, int h,
                   const std::function<unsigned(int, int, int)>& value, int flags = 0) {
    FIBITMAP* b = FreeImage_AllocateT(type, w, h, bpp);
    const bool wide = type != FIT_BITMAP;
    const int channels = bpp / (wide ? 16 : 8);
    const int order[4] = {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE, 3};
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < channels; ++c) {
          BYTE* line = FreeImage_GetScanLine(b, h - 1 - y);
          const int at = x * channels + (wide || channels == 1 ? c : order[c]);
          if (wide)
            reinterpret_cast<WORD*>(line)[at] = static_cast<WORD>(value(x, y, c));
          else
            line[at] = static_cast<BYTE>(value(x, y, c));
        }
    EXPECT_TRUE(FreeImage_Save(FreeImage_GetFIFFromFilename(name.c_str()), b,
                               (folder / name).c_str(), flags));
    FreeImage_Unload(b);
    return folder / name;
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary) << bytes;
    return folder / name;
  }
  // The bytes of an image that loads whole, cut to `keep` bytes (from the end when negative).
  std::string Cut(const std::string& name, FREE_IMAGE_TYPE type, int bpp, int w, int h, long keep,
                  int flags = 0) {
    const std::string whole = ReadAll(Make(name, type, bpp, w, h, Runs, flags));
    EXPECT_TRUE(Load(folder / name).ok) << name << " whole was refused";
    return whole.substr(0, keep < 0 ? whole.size() + keep : keep);
  }
  // Into a 5 x 5 map of 7s with index 3, so that untouched output shows.
  ImageFileResult Load(const std::string& path) {
    map.assign(5, 5, 1, 1, 7);
    index = 3;
    return LoadImageFile(path, &map, &index);
  }
  ScratchFolder folder;
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  Heightmap map;
  int index = 0;
};

TEST(PickMapSize, TakesTheLargestSideWithin1Point3OfTheImage) {
  const struct {
    int m, index;
  } rows[] = {{10000, 0}, {192, 0}, {191, 1}, {97, 1}, {96, 2}, {49, 2},
              {48, 3},    {25, 3},  {24, 4},  {13, 4}, {12, 0}, {1, 0}};
  for (const auto& row : rows)
    EXPECT_EQ(PickMapSizeIndex(row.m, mapSizeTable, 5), row.index) << row.m;
}

// Quadrants of luma 18, 237 / 54, 182 show a crop, a letterbox or a flip; 300 picks 249.
TEST_F(Files, ImagesLoadAsLuminanceStretchedToThePickedSize) {
  const unsigned quadrant[4][3] = {{0, 0, 255}, {255, 255, 0}, {255, 0, 0}, {0, 255, 0}};
  const int luma[4] = {18, 237, 54, 182};
  auto colour = [&](int x, int y, int c) { return quadrant[2 * (y >= 150) + (x >= 75)][c]; };
  ASSERT_TRUE(Load(Make("tall.bmp", FIT_BITMAP, 24, 150, 300, colour)).ok);
  EXPECT_EQ(index, 0);
  ASSERT_EQ(map.width(), 249);
  ASSERT_EQ(map.height(), 249);
  for (int q = 0; q < 4; ++q)
    for (int at : {249 / 4, 249 / 8 + 1})
      EXPECT_NEAR(map(q % 2 * 124 + at, q / 2 * 124 + at), luma[q], 4) << "quadrant " << q;
}

// Deep colour loads as its channels' high bytes, 16-bit grey as v / 257: as the 8-bit twin.
TEST_F(Files, DeepImagesLoadAsTheirEightBitTwin) {
  auto deep = [](int x, int y, int c) { return unsigned(x * 1601 + y * 703 + c * 20000) % 65536; };
  const struct {
    FREE_IMAGE_TYPE type;
    int bpp, twinBpp;
    unsigned divisor;
  } rows[] = {{FIT_RGB16, 48, 24, 256}, {FIT_RGBA16, 64, 32, 256}, {FIT_UINT16, 16, 8, 257}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.bpp);
    auto twin = [&](int x, int y, int c) { return deep(x, y, c) / row.divisor; };
    ASSERT_TRUE(Load(Make("twin.png", FIT_BITMAP, row.twinBpp, 40, 30, twin)).ok);
    const Heightmap expected = map;
    ASSERT_TRUE(Load(Make("deep.png", row.type, row.bpp, 40, 30, deep)).ok);
    EXPECT_EQ(map, expected);
  }
}

// The luminance of R = G = B = v is v: colour floats load as their grey twin.
TEST_F(Files, ColourFloatImagesLoadAsTheirLuminance) {
  cimg_library::CImg<float> grey(40, 30);
  cimg_forXY(grey, x, y) grey(x, y) = ((x * 7 + y * 3) % 255 + 1) / 256.0f;
  grey.save_pfm((folder / "grey.pfm").c_str());
  grey.get_resize(40, 30, 1, 3).save_pfm((folder / "colour.pfm").c_str());
  ASSERT_TRUE(Load(folder / "grey.pfm").ok);
  const cimg_library::CImg<int> twin(map);
  ASSERT_TRUE(Load(folder / "colour.pfm").ok);
  EXPECT_LE((cimg_library::CImg<int>(map) - twin).abs().max(), 1);
}

// A number in a comment is no side: this one loads as 24 x 24.
TEST_F(Files, PnmHeaderCommentsAreSkipped) {
  ASSERT_TRUE(
      Load(Write("hand.pgm", "P5 # 4294967294\n24\n#\n24 255\n" + std::string(576, '\7'))).ok);
  EXPECT_EQ(map.width(), 16);
  EXPECT_EQ(map(3, 3), 7);
}

// Each once hung, crashed or overran FreeImage, loaded zeros silently or took too much memory.
TEST_F(Files, MalformedImagesAreRefusedWithTheirReason) {
  std::string jpg = ReadAll(Make("photo.jpg", FIT_BITMAP, 24, 45, 30, Runs));
  jpg.insert(4 + (std::uint8_t(jpg[4]) << 8 | std::uint8_t(jpg[5])), "abc");  // after APP0
  const std::string runs = "\0\0\x0b\0\0\0\0\0\0\0\0\0\x02\0\x02\0\x08\0"s;   // grey, 2 x 2
  const struct {
    const char* name;
    std::string bytes;
    const char* why;
  } rows[] = {
      {"noext", "not an image", "not in an image format"},
      {"huge.png", ReadAll(Make("huge.png", FIT_BITMAP, 1, 9000, 8000, Runs)).substr(0, 100),
       "9000 x 8000 pixels"},
      {"cut.png", Cut("cut.png", FIT_BITMAP, 24, 45, 30, 100), "could not be read"},
      {"a.pbm", Cut("a.pbm", FIT_BITMAP, 1, 45, 30, -1), "cut short"},
      {"b.pgm", Cut("b.pgm", FIT_BITMAP, 8, 45, 30, -1), "cut short"},
      {"c.ppm", Cut("c.ppm", FIT_RGB16, 48, 45, 30, -1), "cut short"},
      {"wrap.pbm", "P4\n4294967294 9\n" + std::string(9, '\0'), "could not be read"},
      {"loop.wbmp", "\0\xac\xe6\xa8\x2e"s, "could not be read"},  // cut in its extension
      {"short.wbmp", Cut("short.wbmp", FIT_BITMAP, 1, 45, 30, -1), "could not be read"},
      {"runs.tga", Cut("runs.tga", FIT_BITMAP, 24, 45, 30, 47, TARGA_SAVE_RLE),
       "could not be read"},
      {"plain.tga", Cut("plain.tga", FIT_BITMAP, 24, 45, 30, 47), "could not be read"},
      {"crossing.tga", runs + "\x83P\x81P", "could not be read"},  // 4 across 2 rows
      {"cut.tga", runs + "\x81P\x81", "could not be read"},
      {"stray.jpg", jpg, "corrupt"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ImageFileResult r = Load(Write(row.name, row.bytes));
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.message, HasSubstr(row.why));
    EXPECT_EQ(map, Heightmap(5, 5, 1, 1, 7)) << "a refused load changed the map";
    EXPECT_EQ(index, 3);
  }
  EXPECT_TRUE(Load(Write("rows.tga", runs + "\x81P\x81P")).ok) << "the Targa above, whole";
}

// A FIFO named like an image blocked the load until someone wrote to it.
TEST_F(Files, FifoIsRefusedNotWaitedOn) {
  ASSERT_EQ(mkfifo((folder / "pipe.png").c_str(), 0644), 0);
  EXPECT_EQ(InChild([&] { return Load(folder / "pipe.png").ok; }, 10), 0) << "142: it hung";
}

TEST_F(Files, LoadImageCommandWarnsOnceOfAFailure) {
  fake.openAnswers = {Write("text.bmp", "not an image")};
  heightmap = Varied(63);
  ControlWindow().LoadImage(nullptr, nullptr);
  EXPECT_EQ(heightmap, Varied(63));
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].title, "Warning");
  EXPECT_THAT(fake.messages[0].text, HasSubstr("could not be read"));
}

std::vector<std::string> freeImageSaid;

// FreeImage meets the fault of a cut progressive JPEG in the header read and the full read.
TEST_F(Files, AFreeImageMessageIsHeardOnceAcrossBothReads) {
  const std::string jpg = Make(
      "cut.jpg", FIT_BITMAP, 24, 256, 256, [](int x, int y, int c) { return c ? 0 : x * y; },
      JPEG_PROGRESSIVE);
  fs::resize_file(jpg, fs::file_size(jpg) / 2);
  RouteFreeImageMessages(
      [](int format, const char* m) { freeImageSaid.push_back(std::to_string(format) + m); });
  EXPECT_TRUE(Load(jpg).ok);
  EXPECT_THAT(freeImageSaid, ::testing::ElementsAre("2Premature end of JPEG file"));
}

// A PSD cannot be read back; the folder is missing. The old file stays as it was.
TEST_F(Files, ImageSavesThatCannotBeDoneAreRefused) {
  const std::string psd = Write("old.psd", "old");
  const std::pair<std::string, std::string> rows[] = {{psd, "read"},
                                                      {folder / "gone/map.png", strerror(ENOENT)}};
  for (const auto& [path, why] : rows) {
    const ImageFileResult r = SaveImageFile(path, Varied(63));
    EXPECT_FALSE(r.ok) << path;
    EXPECT_THAT(r.message, HasSubstr(why));
  }
  EXPECT_EQ(ReadAll(psd), "old");
}

TEST(ToolkitFilters, ShowEachPatternOnceInTheChoosersSyntax) {
  EXPECT_EQ(platform::ToolkitFilterText(
                {{"Bitmap file(*.bmp)", "*.bmp"}, {"Pictures", "*.bmp;*.png;*.jpg"}}),
            "Bitmap file\t*.bmp\nPictures\t*.{bmp,png,jpg}\n");
}

// TMPDIR names a folder without the final slash; a load that cannot make one there names it.
TEST_F(Files, TemporaryFileIsANewFileInTheTemporaryFolder) {
  std::string path;
  ASSERT_TRUE(platform::Native().MakeTempFile("relievo-", &path));
  EXPECT_THAT(path, ::testing::MatchesRegex(folder / "tmp/relievo-.*\\.tmp"));
  EXPECT_TRUE(fs::is_empty(path));
  fs::remove(path);
  const std::string image = Make("map.png", FIT_BITMAP, 8, 20, 20, Runs), gone = folder / "gone";
  setenv("TMPDIR", gone.c_str(), 1);
  const ImageFileResult load = Load(image);
  EXPECT_FALSE(load.ok);
  EXPECT_THAT(load.message, HasSubstr(gone)) << "the folder where it could not be made";
}

TEST_F(Files, AFailedExportIsReportedToTheUserAsToTheCaller) {
  heightmap = Varied(63);
  fake.saveAnswers = {folder / "missing/map.qmf"};
  EXPECT_EQ(ExportToFile(), 0);
  ASSERT_EQ(fake.messages.size(), 1u);
  EXPECT_EQ(fake.messages[0].icon, platform::MessageIcon::Exclamation);
  EXPECT_THAT(fake.messages[0].text,
              AllOf(HasSubstr(folder / "missing/map.qmf"), HasSubstr(std::strerror(ENOENT))));
}

std::vector<std::string> received;

TEST_F(Files, HandOffGivesTheHostTheTextWithItsNulInOneCall) {
  heightmap = Varied(63);
  hostCallback = [](PluginCallbackData d) {
    received.push_back(std::to_string(d.kind) + std::string(d.text, d.size));
  };
  EXPECT_EQ(PassToHost(), 1);
  EXPECT_THAT(received, ::testing::ElementsAre("1" + BuildMapText(MapTextForm::Host) + '\0'));
  EXPECT_TRUE(fake.messages.empty());
}

TEST(PluginExports, ResolveByNameAsAPluginOfTypeOne) {
  void* module = dlopen(RELIEVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto type = reinterpret_cast<int (*)()>(dlsym(module, "PluginType"));
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type(), 1);
  EXPECT_NE(dlsym(module, "PluginSetCallback"), nullptr);
  EXPECT_NE(dlsym(module, "PluginExecute"), nullptr);
  EXPECT_EQ(dlsym(module, "heightmap"), nullptr) << "an inner name is visible";
}

}  // namespace
