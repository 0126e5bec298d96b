// The user's files: images loaded and saved, the map exported, and the map
// handed to the host, with the platform's dialogs and message boxes scripted;
// the module's entry points.
#include <FreeImage.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>
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

namespace {

Heightmap Ramp(int side) {
  Heightmap map(side, side, 1, 1);
  cimg_forXY(map, x, y) map(x, y) = static_cast<unsigned char>(2 * x + y);
  return map;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Writes past `bytes` fail with EFBIG, as on a full disk.
template <typename F> auto WithFileSizeLimit(rlim_t bytes, F f) {
  rlimit old, small;
  getrlimit(RLIMIT_FSIZE, &old);
  small = old, small.rlim_cur = bytes;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  auto result = f();
  setrlimit(RLIMIT_FSIZE, &old), std::signal(SIGXFSZ, oldHandler);
  return result;
}

// A private temporary directory, which must end up empty, and a folder for
// the user's files.
class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root / "tmp"), fs::create_directories(user);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(root / "tmp")) << "a temporary file was left behind";
    fs::remove_all(root);
  }
  std::string User(const std::string& name) { return user + "/" + name; }
  std::size_t UserFiles() const { return std::distance(fs::directory_iterator(user), {}); }

  // A w x h image of FreeImage's type and bits per pixel, saved by its
  // extension: channel c (red, green, blue, alpha) of pixel (x, y) from the
  // top is value(x, y, c).
  std::string Make(const std::string& name, FREE_IMAGE_TYPE type, int bpp, int w, int h,
                   const std::function<unsigned(int, int, int)>& value, int flags = 0) {
    FIBITMAP* b = FreeImage_AllocateT(type, w, h, bpp);
    const bool wide = type != FIT_BITMAP;
    const int channels = bpp / (wide ? 16 : 8), order[4] = {FI_RGBA_RED, FI_RGBA_GREEN, FI_RGBA_BLUE, 3};
    for (int y = 0; y < h; ++y) {
      BYTE* line = FreeImage_GetScanLine(b, h - 1 - y);
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < channels; ++c) {
          const int at = x * channels + (wide || channels == 1 ? c : order[c]);
          if (wide) reinterpret_cast<WORD*>(line)[at] = static_cast<WORD>(value(x, y, c));
          else line[at] = static_cast<BYTE>(value(x, y, c));
        }
    }
    const std::string path = User(name);
    EXPECT_TRUE(FreeImage_Save(FreeImage_GetFIFFromFilename(path.c_str()), b, path.c_str(), flags));
    FreeImage_Unload(b);
    return path;
  }

  // Into a 5 x 5 map of 7s with index 3, so that untouched output shows.
  ImageFileResult Load(const std::string& path, Heightmap* map, int* index) {
    map->assign(5, 5, 1, 1, 7), *index = 3;
    return LoadImageFile(path, map, index);
  }
  int Export(const std::string& path) { return fake.saveAnswers = {path}, ExportToFile(); }
  // Every message so far a warning, each naming its path and reason.
  void ExpectWarnings(const std::vector<std::pair<std::string, std::string>>& pathAndReason) {
    ASSERT_EQ(fake.messages.size(), pathAndReason.size());
    for (std::size_t i = 0; i < pathAndReason.size(); ++i) {
      const FakePlatform::Message& m = fake.messages[i];
      EXPECT_TRUE(m.title == "Warning" && m.icon == platform::MessageIcon::Exclamation &&
                  m.text.find(pathAndReason[i].first) != std::string::npos &&
                  m.text.find(pathAndReason[i].second) != std::string::npos) << m.text;
    }
    fake.messages.clear();
  }

  const fs::path root = fs::temp_directory_path() / ("relievo_files_" + std::to_string(getpid()));
  const std::string user = (root / "user").string();
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
};

// The chooser adds "(patterns)" to each name, so a name that already ends in
// its patterns loses them there.
TEST(FileDialogTypes, NamesLoseThePatternsTheChooserShowsAgain) {
  const std::string text = platform::ToolkitFilterText(SaveImageFilters());
  EXPECT_EQ(text.substr(0, text.find('\n')), "Bitmap file\t*.bmp");
}

TEST(MapSizeRule, PicksLargestSideWithinOnePointThreeOfLongerImageSide) {
  const struct { int m, index; } rows[] = {{10000, 0}, {192, 0}, {191, 1}, {97, 1}, {96, 2}, {49, 2},
                                           {48, 3}, {25, 3}, {24, 4}, {13, 4}, {12, 0}, {1, 0}};
  for (auto row : rows) EXPECT_EQ(PickMapSizeIndex(row.m, mapSizeTable, 5), row.index) << row.m;
}

// Quadrants blue, yellow / red, green (Rec. 709 luma 18, 237 / 54, 182): a
// crop, a letterbox or a flip shows in some quadrant of the square.
TEST_F(Files, ImagesLoadAsLuminanceStretchedToThePickedSize) {
  const struct { const char* name; int w, h, index; } rows[] = {
      {"photo.png", 640, 480, 0}, {"a.jpg", 100, 100, 1}, {"b.bmp", 96, 96, 2},
      {"c.tga", 20, 10, 4},       {"d.png", 10, 10, 0},   {"e.png", 150, 300, 0}};
  const unsigned quadrant[4][3] = {{0, 0, 255}, {255, 255, 0}, {255, 0, 0}, {0, 255, 0}};
  const int luma[4] = {18, 237, 54, 182};
  for (auto row : rows) {
    auto colour = [&](int x, int y, int c) { return quadrant[2 * (2 * y >= row.h) + (2 * x >= row.w)][c]; };
    Heightmap map;
    int index, s = mapSizeTable[row.index];
    ASSERT_TRUE(Load(Make(row.name, FIT_BITMAP, 24, row.w, row.h, colour), &map, &index).ok) << row.name;
    EXPECT_TRUE(index == row.index && map.width() == s && map.height() == s) << row.name;
    for (int q = 0; q < 4; ++q)
      for (int at : {s / 4, s / 8 + 1})
        EXPECT_NEAR(map(q % 2 * s / 2 + at, q / 2 * s / 2 + at), luma[q], 4) << row.name << " " << q;
  }
}

// Deep colour loads as its 32-bit conversion does, keeping each channel's high
// byte; 16-bit grey keeps its relief as v / 257. Low bytes below the high ones
// tell the two rules apart.
TEST_F(Files, DeepImagesLoadAsTheirEightBitCounterparts) {
  auto deep = [](int x, int y, int c) { return unsigned(x * 1601 + y * 703 + c * 20000) % 65536; };
  const struct { FREE_IMAGE_TYPE type; int bpp, twinBpp; unsigned divisor; } rows[] = {
      {FIT_RGB16, 48, 24, 256}, {FIT_RGBA16, 64, 32, 256}, {FIT_UINT16, 16, 8, 257}};
  Heightmap map, twin;
  int index, twinIndex;
  for (auto row : rows) {
    const std::string deepPath = Make("deep.png", row.type, row.bpp, 40, 30, deep);
    const std::string twinPath = Make("twin.png", FIT_BITMAP, row.twinBpp, 40, 30,
                                      [&](int x, int y, int c) { return deep(x, y, c) / row.divisor; });
    ASSERT_TRUE(Load(deepPath, &map, &index).ok && Load(twinPath, &twin, &twinIndex).ok) << row.bpp;
    EXPECT_TRUE(index == 3 && map == twin) << row.bpp;
  }
  auto grey = [](int x, int y, int) { return unsigned(x + y); };
  fs::rename(Make("e.ppm", FIT_BITMAP, 24, 30, 30, grey), User("e.pnm"));  // ".pnm" names no format
  EXPECT_TRUE(Load(User("e.pnm"), &map, &index).ok && index == 3 && map.width() == 32);
  // The longest side allowed.
  EXPECT_TRUE(Load(Make("wide.png", FIT_BITMAP, 8, 65536, 2, grey), &map, &index).ok && map.width() == 249);
}

TEST_F(Files, UnreadableOrHugeImagesChangeNothingAndSayWhy) {
  std::ofstream(User("noext")) << "not an image";
  const std::string cut = Make("cut.png", FIT_BITMAP, 24, 64, 64, [](int x, int y, int c) { return x * y + c; });
  fs::resize_file(cut, fs::file_size(cut) / 2);
  // A real 9000 x 8000 PNG cut right after its header: only a reader that
  // never decodes the pixels can tell its size.
  const std::string huge = Make("huge.png", FIT_BITMAP, 1, 9000, 8000, [](int, int, int) { return 0; });
  fs::resize_file(huge, ReadAll(huge).find("IDAT") + 4);
  // Found by fuzzing: a PGM 55 million pixels long ran the rescale out of memory.
  std::ofstream(User("long.pgm"), std::ios::binary)
      << std::string("P5\x0e\xd3\xca\x06" "55111111\x0e" "1\x9c" "11\0\0a\0", 22);
  const struct { const char* name; const char* why; } rows[] = {
      {"noext", "not in an image format"}, {"cut.png", "could not be read"},
      {"huge.png", "9000 x 8000 pixels"}, {"long.pgm", "too large"}};
  Heightmap map;
  int index;
  for (auto row : rows) {
    ImageFileResult r = Load(User(row.name), &map, &index);
    EXPECT_TRUE(!r.ok && r.message.find(row.why) != std::string::npos) << r.message;
    EXPECT_TRUE(index == 3 && map.width() == 5 && map(2, 2) == 7) << row.name;
  }
}

// Nothing may be written when the name or format rules the save out; a save
// that fails half-way or whose format FreeImage cannot read back keeps the
// old file as it was.
TEST_F(Files, FailedImageSaveSaysWhyAndKeepsTheOldFile) {
  const struct { const char* name; const char* why; } rows[] = {
      {"plain", "no extension"}, {"map.zzz", "no image format"}, {"map.pcx", "cannot store"},
      {"map.ico", "cannot store"}, {"missing/map.png", std::strerror(ENOENT)}};
  for (auto row : rows) {
    ImageFileResult r = SaveImageFile(User(row.name), Ramp(300));  // icons stop at 256 pixels
    EXPECT_TRUE(!r.ok && r.message.find(row.why) != std::string::npos) << r.message;
  }
  EXPECT_EQ(UserFiles(), 0u);
  const std::string bmp = Make("old.bmp", FIT_BITMAP, 8, 20, 20, [](int x, int, int) { return x; });
  const std::string psd = User("old.psd"), oldBmp = ReadAll(bmp);
  std::ofstream(psd) << "old";
  // The temporary PGM of 249 x 249 fits under the limit, the BMP does not.
  const ImageFileResult full = WithFileSizeLimit(63000, [&] { return SaveImageFile(bmp, Ramp(249)); });
  const ImageFileResult photoshop = SaveImageFile(psd, Ramp(63));
  for (auto [r, path, why] : {std::tuple{full, bmp, std::string(std::strerror(EFBIG))}, {photoshop, psd, "read"}})
    EXPECT_TRUE(!r.ok && r.message.find(path) != std::string::npos && r.message.find(why) != std::string::npos)
        << r.message;
  EXPECT_TRUE(ReadAll(bmp) == oldBmp && ReadAll(psd) == "old" && UserFiles() == 2);
}

std::vector<std::string> freeImageSaid;

// Through the control window: the save writes 8-bit grey, top row on top,
// which loads back; a failed load changes nothing and warns once; FreeImage
// meeting one fault twice (the header read and the full read of a cut
// progressive JPEG) is heard of once.
TEST_F(Files, SavedImageLoadsBackAndEachWarningIsShownOnce) {
  const std::string jpg = Make("cut.jpg", FIT_BITMAP, 24, 256, 256,
                               [](int x, int y, int c) { return c ? 0 : x * y; }, JPEG_PROGRESSIVE);
  fs::resize_file(jpg, fs::file_size(jpg) / 2);
  std::ofstream(User("text.bmp")) << "not an image";
  fake.saveAnswers = {User("map.png")}, fake.openAnswers = {User("text.bmp")};
  heightmap = Ramp(63);
  ControlWindow window;
  window.SaveImage(nullptr, nullptr);
  window.LoadImage(nullptr, nullptr);
  EXPECT_EQ(heightmap, Ramp(63));
  EXPECT_EQ(fake.openDialogs.at(0).title + fake.saveDialogs.at(0).title, "Load Image fileSave Image file");
  ExpectWarnings({{"text.bmp", "could not be read"}});
  Heightmap map;
  int index;
  RouteFreeImageMessages([](int format, const char* m) { freeImageSaid.push_back(std::to_string(format) + m); });
  EXPECT_TRUE(Load(jpg, &map, &index).ok);
  EXPECT_EQ(freeImageSaid, std::vector<std::string>{"2Premature end of JPEG file"});
  ASSERT_TRUE(Load(User("map.png"), &map, &index).ok && index == 2);
  EXPECT_LE((cimg_library::CImg<int>(map) - cimg_library::CImg<int>(Ramp(63))).abs().max(), 8);
  FIBITMAP* saved = FreeImage_Load(FIF_PNG, User("map.png").c_str(), 0);
  ASSERT_NE(saved, nullptr);
  EXPECT_TRUE(FreeImage_GetColorType(saved) == FIC_MINISBLACK && FreeImage_GetBPP(saved) == 8);
  EXPECT_EQ(FreeImage_GetScanLine(saved, 62)[10], Ramp(63)(10, 0));
  FreeImage_Unload(saved);
}

// Cancelled: nothing written, nothing said. A write that fails half-way keeps
// the old file whole and leaves nothing else behind.
TEST_F(Files, ExportWritesTheFileFormAsTypedOrSaysWhyAndKeepsTheOldFile) {
  heightmap = Ramp(63), mapSize = 63;
  const std::string text = BuildMapText(MapTextForm::File), path = User("landscape");
  EXPECT_EQ(ExportToFile(), 0);
  const auto& dialog = fake.saveDialogs.at(0);
  EXPECT_EQ(dialog.title + dialog.filters.at(0).description + dialog.filters[0].patterns,
            "Save to QMF fileQMF files(*.qmf)*.qmf");
  std::ofstream(path) << "the old map";
  EXPECT_EQ(WithFileSizeLimit(100'000, [&] { return Export(path); }), 0);
  EXPECT_TRUE(ReadAll(path) == "the old map" && UserFiles() == 1);
  EXPECT_EQ(Export(User("missing/map.qmf")) + Export(user), 0);
  ExpectWarnings({{path, std::strerror(EFBIG)}, {User("missing/map.qmf"), std::strerror(ENOENT)},
                  {user, std::strerror(EISDIR)}});
  std::ofstream(path) << std::string(20'000'000, 'x');
  EXPECT_EQ(Export(path), 1);
  EXPECT_TRUE(fake.messages.empty() && ReadAll(path) == text && UserFiles() == 1);
}

// Replacing a file keeps what the user's file system relies on: its mode, the
// link that leads to it, its other names, a name with no room for a longer
// temporary one, and its protection. Root may write anything, so the
// permission cases run as an ordinary user in a child process, which answers
// with one bit per case that went wrong.
TEST_F(Files, ExportOverAFileKeepsItsModeLinksNameAndProtection) {
  heightmap = Ramp(63), mapSize = 63;
  const std::string text = BuildMapText(MapTextForm::File);
  const std::string secret = User("secret.qmf"), target = User("target.qmf"), link = User("link.qmf"),
                    a = User("a.qmf"), b = User("b.qmf"), fresh = User("fresh.qmf"),
                    longName = User(std::string(247, 'n') + ".qmf");
  const std::string open = User("open"), closed = User("closed"), writeOnly = open + "/w.qmf",
                    readOnly = open + "/r.qmf", inClosed = closed + "/c.qmf";
  mkdir(open.c_str(), 0755), mkdir(closed.c_str(), 0755);
  for (const std::string& p : {secret, target, a, longName, writeOnly, readOnly, inClosed})
    std::ofstream(p) << "old";
  chmod(secret.c_str(), 0640);
  ASSERT_EQ(symlink("target.qmf", link.c_str()) + ::link(a.c_str(), b.c_str()), 0);
  for (const std::string& p : {secret, link, a, longName, fresh}) EXPECT_EQ(Export(p), 1) << p;
  EXPECT_TRUE(fake.messages.empty()) << fake.messages[0].text;
  for (const std::string& p : {secret, target, b, longName, fresh}) EXPECT_EQ(ReadAll(p), text) << p;
  struct stat st{};
  auto mode = [&](const std::string& p) { return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0; };
  const mode_t mask = umask(022);
  umask(mask);
  EXPECT_TRUE(mode(secret) == 0640 && mode(fresh) == (0666 & ~mask) && mode(b) && st.st_nlink == 2);
  EXPECT_TRUE(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  EXPECT_EQ(UserFiles(), 9u);  // no temporary file left beside them

  const bool root = geteuid() == 0;
  for (const std::string& p : {user, open, closed, writeOnly, readOnly, inClosed})
    ASSERT_TRUE(!root || chown(p.c_str(), 65534, 65534) == 0);
  chmod(writeOnly.c_str(), 0200), chmod(readOnly.c_str(), 0444), chmod(closed.c_str(), 0555);
  const pid_t child = fork();
  if (child == 0) {
    if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(64);
    const int wrong = (Export(writeOnly) != 1) | (Export(inClosed) != 1) << 1 | Export(readOnly) << 2;
    _exit(wrong | (fake.messages.size() != 1 ||
                   fake.messages[0].text.find(std::strerror(EACCES)) == std::string::npos) << 3);
  }
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  chmod(closed.c_str(), 0755);
  EXPECT_TRUE(ReadAll(writeOnly) == text && ReadAll(inClosed) == text && ReadAll(readOnly) == "old");
  EXPECT_TRUE(mode(writeOnly) == 0200 && std::distance(fs::directory_iterator(open), {}) == 2);
}

std::vector<std::string> received;

TEST_F(Files, HandOffGivesTheHostTextWithItsNulInOneCall) {
  heightmap = Ramp(63), mapSize = 63;
  hostCallback = [](PluginCallbackData d) {
    received.push_back(std::to_string(d.kind) + std::string(d.text, d.size));
  };
  EXPECT_EQ(PassToHost(), 1);
  hostCallback = nullptr;
  EXPECT_EQ(PassToHost(), 0);  // no host connected: never called, the user is told
  EXPECT_EQ(received, std::vector<std::string>{"1" + BuildMapText(MapTextForm::Host) + '\0'});
  ExpectWarnings({{"No host", ""}});
}

TEST(PluginExports, ResolveByNameReturnTheIdentityAndNothingElseLeaks) {
  void* module = dlopen(RELIEVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto type = reinterpret_cast<int (*)()>(dlsym(module, "PluginType"));
  EXPECT_TRUE(type && type() == 1 && dlsym(module, "PluginSetCallback") && dlsym(module, "PluginExecute"));
  const std::pair<const char*, std::string> texts[] = {
      {"PluginName", "Advanced Relievo"}, {"PluginDescription", "Advanced version of Relievo Plugin"},
      {"PluginQuarnVersion", "0.862"}, {"PluginVersion", "1.0 Beta"},
      {"PluginAuthor", "Ettar Quell \"Il Morvi\""}, {"PluginEmail", "@"}};
  for (const auto& [name, text] : texts) {
    auto fn = reinterpret_cast<const char* (*)()>(dlsym(module, name));
    EXPECT_TRUE(fn && (text == "@" ? std::string(fn()).find('@') != std::string::npos : fn() == text)) << name;
  }
  for (const char* inner : {"RunPlugin", "heightmap", "_Z9RunPluginv"}) EXPECT_EQ(dlsym(module, inner), nullptr);
}

}  // namespace
