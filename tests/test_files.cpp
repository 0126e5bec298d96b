// Images loaded and saved, the map exported and handed to the host (scripted dialogs); the exports.
#include <FreeImage.h>
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "export/export_ops.h"
#include "export/map_text.h"
#include "imagefiles/image_files.h"
#include "platform/platform_fltk.h"
#include "plugin/plugin_state.h"
#include "tests/support/fake_platform.h"
#include "ui/control_window.h"

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

Heightmap Ramp(int side) { return Heightmap(side, side, 1, 1).fill("(2 * x + y) % 256", true); }

std::string ReadAll(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// Writes past `bytes` fail with EFBIG, as on a full disk.
template <typename F>
auto WithFileSizeLimit(rlim_t bytes, F f) {
  rlimit old;
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = bytes;
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  auto result = f();
  setrlimit(RLIMIT_FSIZE, &old);
  return result;
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root / "tmp");
    fs::create_directories(user);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(root / "tmp")) << "a temporary file was left behind";
    fs::remove_all(root);
    unsetenv("TMPDIR");
  }
  std::string User(const std::string& name) { return user + "/" + name; }
  std::size_t UserFiles() const { return std::distance(fs::directory_iterator(user), {}); }
  // An image saved by its extension: channel c (RGBA) of (x, y) from the top is value(x, y, c).
  std::string Make(const std::string& name, FREE_IMAGE_TYPE type, int bpp, int w, int h,
                   const std::function<unsigned(int, int, int)>& value, int flags = 0) {
    FIBITMAP* b = FreeImage_AllocateT(type, w, h, bpp);
    const bool wide = type != FIT_BITMAP;
    const int channels = bpp / (wide ? 16 : 8),
              order[4] = {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE, 3};
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
    EXPECT_TRUE(
        FreeImage_Save(FreeImage_GetFIFFromFilename(name.c_str()), b, User(name).c_str(), flags));
    FreeImage_Unload(b);
    return User(name);
  }

  // Into a 5 x 5 map of 7s with index 3, so that untouched output shows.
  ImageFileResult Load(const std::string& path) {
    map.assign(5, 5, 1, 1, 7);
    index = 3;
    return LoadImageFile(path, &map, &index);
  }
  int Export(const std::string& path) {
    fake.saveAnswers = {path};
    return ExportToFile();
  }
  // Every message so far a warning, each naming its path and reason.
  void ExpectWarnings(const std::vector<std::pair<std::string, std::string>>& want) {
    ASSERT_EQ(fake.messages.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      SCOPED_TRACE(want[i].first);
      EXPECT_EQ(fake.messages[i].title, "Warning");
      EXPECT_EQ(fake.messages[i].icon, platform::MessageIcon::Exclamation);
      EXPECT_THAT(fake.messages[i].text,
                  AllOf(HasSubstr(want[i].first), HasSubstr(want[i].second)));
    }
    fake.messages.clear();
  }

  const fs::path root = fs::temp_directory_path() / ("relievo_files_" + std::to_string(getpid()));
  const std::string user = (root / "user").string();
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

// Quadrants blue, yellow / red, green (luma 18, 237 / 54, 182) show a crop, a
// letterbox or a flip.
TEST_F(Files, ImagesLoadAsLuminanceStretchedToThePickedSize) {
  const struct {
    const char* name;
    int w, h, index;
  } rows[] = {{"photo.png", 640, 480, 0}, {"a.jpg", 100, 100, 1}, {"b.bmp", 96, 96, 2},
              {"c.tga", 20, 10, 4},       {"d.png", 10, 10, 0},   {"e.png", 150, 300, 0}};
  const unsigned quadrant[4][3] = {{0, 0, 255}, {255, 255, 0}, {255, 0, 0}, {0, 255, 0}};
  const int luma[4] = {18, 237, 54, 182};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    auto colour = [&](int x, int y, int c) {
      return quadrant[2 * (2 * y >= row.h) + (2 * x >= row.w)][c];
    };
    const int s = mapSizeTable[row.index];
    ASSERT_TRUE(Load(Make(row.name, FIT_BITMAP, 24, row.w, row.h, colour)).ok);
    EXPECT_EQ(index, row.index);
    ASSERT_EQ(map.width(), s);
    ASSERT_EQ(map.height(), s);
    for (int q = 0; q < 4; ++q)
      for (int at : {s / 4, s / 8 + 1})
        EXPECT_NEAR(map(q % 2 * s / 2 + at, q / 2 * s / 2 + at), luma[q], 4) << "quadrant " << q;
  }
}

// Deep colour loads as its 32-bit conversion (each channel's high byte), 16-bit
// grey as v / 257: as the 8-bit image with those values.
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

TEST_F(Files, LessCommonFormsLoadWhole) {
  auto grey = [](int x, int y, int) { return unsigned(x + y); };
  fs::rename(Make("e.ppm", FIT_BITMAP, 24, 30, 30, grey), User("e.pnm"));  // ".pnm" names no format
  std::ofstream(User("hand.pgm")) << "P5 # by hand\n# 4294967294\n24\n#\n24 255\n"
                                  << std::string(576, '\7');
  Make("runs.tga", FIT_BITMAP, 8, 30, 30, grey, TARGA_SAVE_RLE);
  Make("wide.png", FIT_BITMAP, 8, 65536, 2, grey);
  Make("whole.wbmp", FIT_BITMAP, 1, 30, 30, grey);
  const struct {
    const char* name;
    int side, x, value;
  } rows[] = {{"e.pnm", 32, 31, 58},
              {"hand.pgm", 16, 3, 7},
              {"runs.tga", 32, 31, 58},
              {"wide.png", 249, -1, -1},  // stretched beyond telling a value
              {"whole.wbmp", 32, 3, 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_TRUE(Load(User(row.name)).ok);
    EXPECT_EQ(map.width(), row.side);
    if (row.x >= 0) {
      EXPECT_EQ(map(row.x, row.x), row.value);
    }
  }
}

// Each of these once hung, crashed or overran FreeImage, or would have taken
// far too much memory; a failed load changes nothing.
TEST_F(Files, UnloadableImagesLeaveTheMapWithAReason) {
  std::ofstream(User("noext")) << "not an image";
  const std::string cut =
      Make("cut.png", FIT_BITMAP, 24, 64, 64, [](int x, int y, int c) { return x * y + c; });
  fs::resize_file(cut, fs::file_size(cut) / 2);
  // A real 9000 x 8000 PNG cut after its header: only a header read tells its size.
  const std::string huge =
      Make("huge.png", FIT_BITMAP, 1, 9000, 8000, [](int, int, int) { return 0; });
  fs::resize_file(huge, ReadAll(huge).find("IDAT") + 4);
  // A PGM 55 million pixels long.
  std::ofstream(User("long.pgm"), std::ios::binary) << std::string(
      "P5\x0e\xd3\xca\x06"
      "55111111\x0e"
      "1\x9c"
      "11\0\0a\0",
      22);
  // A WBMP cut inside its extension fields; one a byte short of its rows.
  std::ofstream(User("loop.wbmp"), std::ios::binary) << std::string("\0\xac\xe6\xa8\x2e", 5);
  fs::resize_file(Make("short.wbmp", FIT_BITMAP, 1, 30, 30, [](int, int, int) { return 0; }),
                  2 + 2 + 4 * 30 - 1);
  // A side that FreeImage's int wraps to -2.
  std::ofstream(User("wrap.pbm"), std::ios::binary) << "P4\n4294967294 9\n" << std::string(9, '\0');
  // A run-length Targa with fewer bytes than rows.
  const std::string runs = Make(
      "runs.tga", FIT_BITMAP, 24, 30, 30, [](int, int, int) { return 0; }, TARGA_SAVE_RLE);
  fs::resize_file(runs, 18 + 29);
  const std::pair<const char*, const char*> rows[] = {
      {"noext", "not in an image format"}, {"cut.png", "could not be read"},
      {"huge.png", "9000 x 8000 pixels"},  {"long.pgm", "too large"},
      {"loop.wbmp", "could not be read"},  {"short.wbmp", "could not be read"},
      {"wrap.pbm", "could not be read"},   {"runs.tga", "could not be read"}};
  for (const auto& [name, why] : rows) {
    SCOPED_TRACE(name);
    const ImageFileResult r = Load(User(name));
    EXPECT_FALSE(r.ok);
    EXPECT_THAT(r.message, HasSubstr(why));
    EXPECT_EQ(index, 3);
    EXPECT_THAT(map, ::testing::Each(7));
    EXPECT_EQ(map.width(), 5);
  }
}

TEST_F(Files, LoadImageCommandWarnsOnceOfAFailure) {
  std::ofstream(User("text.bmp")) << "not an image";
  fake.openAnswers = {User("text.bmp")};
  heightmap = Ramp(63);
  ControlWindow().LoadImage(nullptr, nullptr);
  EXPECT_EQ(heightmap, Ramp(63));
  EXPECT_EQ(fake.openDialogs.at(0).title, "Load Image file");
  ExpectWarnings({{"text.bmp", "could not be read"}});
}

std::vector<std::string> freeImageSaid;

// FreeImage meets the fault of a cut progressive JPEG in the header read and
// again in the full read.
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

// The temporary PGM of 249 x 249 fits under the limit, the BMP does not.
TEST_F(Files, ImageSaveThatFailsHalfWayKeepsTheOldFile) {
  const std::string bmp = Make("old.bmp", FIT_BITMAP, 8, 20, 20, [](int x, int, int) { return x; });
  const std::string old = ReadAll(bmp);
  const ImageFileResult r = WithFileSizeLimit(63000, [&] { return SaveImageFile(bmp, Ramp(249)); });
  EXPECT_FALSE(r.ok);
  EXPECT_THAT(r.message, AllOf(HasSubstr(bmp), HasSubstr(std::strerror(EFBIG))));
  EXPECT_EQ(ReadAll(bmp), old);
  EXPECT_EQ(UserFiles(), 1u);
}

TEST_F(Files, ImageSaveInAFormatThatCannotBeReadBackKeepsTheOldFile) {
  const std::string psd = User("old.psd");
  std::ofstream(psd) << "old";
  const ImageFileResult r = SaveImageFile(psd, Ramp(63));
  EXPECT_FALSE(r.ok);
  EXPECT_THAT(r.message, AllOf(HasSubstr(psd), HasSubstr("read")));
  EXPECT_EQ(ReadAll(psd), "old");
}

TEST_F(Files, SaveImageCommandWritesEightBitGreyTopRowOnTop) {
  fake.saveAnswers = {User("map.png")};
  heightmap = Ramp(63);
  ControlWindow().SaveImage(nullptr, nullptr);
  EXPECT_TRUE(fake.messages.empty());
  EXPECT_EQ(fake.saveDialogs.at(0).title, "Save Image file");
  FIBITMAP* saved = FreeImage_Load(FIF_PNG, User("map.png").c_str(), 0);
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(FreeImage_GetColorType(saved), FIC_MINISBLACK);
  EXPECT_EQ(FreeImage_GetBPP(saved), 8u);
  EXPECT_EQ(FreeImage_GetScanLine(saved, 62)[10], Ramp(63)(10, 0));
  FreeImage_Unload(saved);
}

TEST(ToolkitFilters, ShowEachPatternOnceInTheChoosersSyntax) {
  EXPECT_EQ(platform::ToolkitFilterText(
                {{"Bitmap file(*.bmp)", "*.bmp"}, {"Pictures", "*.bmp;*.png;*.jpg"}}),
            "Bitmap file\t*.bmp\nPictures\t*.{bmp,png,jpg}\n");
}

// TMPDIR names a folder without the final slash.
TEST_F(Files, TemporaryFilesAreNewFilesInTheTemporaryFolder) {
  std::string first, second;
  ASSERT_TRUE(platform::Native().MakeTempFile("relievo-", &first));
  ASSERT_TRUE(platform::Native().MakeTempFile("relievo-", &second));
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    EXPECT_THAT(path, ::testing::StartsWith((root / "tmp" / "relievo-").string()));
    EXPECT_THAT(path, ::testing::EndsWith(".tmp"));
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_TRUE(fs::is_empty(path));
    fs::remove(path);
  }
}

TEST_F(Files, AFailedExportKeepsTheOldFileWhole) {
  heightmap = Ramp(63);
  const std::string path = User("landscape");
  std::ofstream(path) << "the old map";
  EXPECT_EQ(WithFileSizeLimit(100'000, [&] { return Export(path); }), 0);
  EXPECT_EQ(Export(User("missing/map.qmf")), 0);
  EXPECT_EQ(Export(user), 0);
  ExpectWarnings({{path, std::strerror(EFBIG)},
                  {User("missing/map.qmf"), std::strerror(ENOENT)},
                  {user, std::strerror(EISDIR)}});
  EXPECT_EQ(ReadAll(path), "the old map");
  EXPECT_EQ(UserFiles(), 1u) << "a temporary file was left";
}

// Replacing keeps the file's mode, its link, its other names, and writes a name
// with no room for a temporary beside it in place.
TEST_F(Files, ExportKeepsTheReplacedFilesAttributes) {
  heightmap = Ramp(63);
  mapSize = 63;
  const std::string text = BuildMapText(MapTextForm::File), big = User("big.qmf"),
                    secret = User("secret.qmf"), target = User("target.qmf"),
                    link = User("link.qmf"), a = User("a"), b = User("b"),
                    fresh = User("fresh.qmf"), longName = User(std::string(247, 'n') + ".qmf");
  std::ofstream(big) << std::string(20'000'000, 'x');
  for (const std::string& p : {secret, target, a, longName}) std::ofstream(p) << "old";
  chmod(secret.c_str(), 0640);
  ASSERT_EQ(symlink("target.qmf", link.c_str()), 0);
  ASSERT_EQ(::link(a.c_str(), b.c_str()), 0);
  for (const std::string& p : {big, secret, link, a, longName, fresh}) EXPECT_EQ(Export(p), 1) << p;
  EXPECT_TRUE(fake.messages.empty());
  for (const std::string& p : {big, secret, target, b, longName, fresh})
    EXPECT_EQ(ReadAll(p), text) << p;
  struct stat st {};
  ASSERT_EQ(stat(secret.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
  ASSERT_EQ(stat(b.c_str(), &st), 0);
  EXPECT_EQ(st.st_nlink, 2u);
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(UserFiles(), 8u) << "a temporary file was left beside them";
}

std::vector<std::string> received;

TEST_F(Files, HandOffGivesTheHostTheTextWithItsNulInOneCall) {
  heightmap = Ramp(63);
  hostCallback = [](PluginCallbackData d) {
    received.push_back(std::to_string(d.kind) + std::string(d.text, d.size));
  };
  EXPECT_EQ(PassToHost(), 1);
  EXPECT_THAT(received, ::testing::ElementsAre("1" + BuildMapText(MapTextForm::Host) + '\0'));
  EXPECT_TRUE(fake.messages.empty());
}

// As an ordinary user, in a child that answers one bit per wrong case: a file we
// may write in a folder we may not, and a write-only file, are written in place;
// a write-protected file is not replaced.
TEST_F(Files, ExportHonoursTheFilesProtection) {
  heightmap = Ramp(63);
  const std::string text = BuildMapText(MapTextForm::File);
  const std::string open = User("open"), closed = User("closed"), writeOnly = open + "/w.qmf",
                    readOnly = open + "/r.qmf", inClosed = closed + "/c.qmf";
  mkdir(open.c_str(), 0755);
  mkdir(closed.c_str(), 0755);
  for (const std::string& p : {writeOnly, readOnly, inClosed}) std::ofstream(p) << "old";
  const bool root = geteuid() == 0;
  for (const std::string& p : {user, open, closed, writeOnly, readOnly, inClosed}) {
    const int owned = root ? chown(p.c_str(), 65534, 65534) : 0;
    ASSERT_EQ(owned, 0) << p;
  }
  chmod(writeOnly.c_str(), 0200);
  chmod(readOnly.c_str(), 0444);
  chmod(closed.c_str(), 0555);
  const pid_t child = fork();
  if (child == 0) {
    if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(64);
    int wrong = Export(writeOnly) != 1;
    wrong |= (Export(inClosed) != 1) << 1;
    wrong |= (Export(readOnly) != 0) << 2;
    wrong |= (fake.messages.size() != 1 ||
              fake.messages[0].text.find(std::strerror(EACCES)) == std::string::npos)
             << 3;
    _exit(wrong);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "bits: 1 write-only, 2 closed folder, 4 protected, 8 message";
  chmod(closed.c_str(), 0755);
  EXPECT_EQ(ReadAll(writeOnly), text);
  EXPECT_EQ(ReadAll(inClosed), text);
  EXPECT_EQ(ReadAll(readOnly), "old");
  struct stat st {};
  ASSERT_EQ(stat(writeOnly.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0200u);
  EXPECT_EQ(std::distance(fs::directory_iterator(open), {}), 2);
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
