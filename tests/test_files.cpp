// Images loaded and saved, the map exported and handed to the host (scripted dialogs); the exports.
#include <FreeImage.h>
#include <dlfcn.h>
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

namespace {

Heightmap Ramp(int side) { return Heightmap(side, side, 1, 1).fill("(2 * x + y) % 256", true); }

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string ReadAll(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

// Writes past `bytes` fail with EFBIG, as on a full disk.
template <typename F>
auto WithFileSizeLimit(rlim_t bytes, F f) {
  rlimit old, small;
  getrlimit(RLIMIT_FSIZE, &old), small = old, small.rlim_cur = bytes;
  std::signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &small);
  auto result = f();
  return setrlimit(RLIMIT_FSIZE, &old), result;
}

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root / "tmp"), fs::create_directories(user);
    setenv("TMPDIR", (root / "tmp").c_str(), 1);
  }
  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(root / "tmp")) << "a temporary file was left behind";
    fs::remove_all(root), unsetenv("TMPDIR");
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
    return FreeImage_Unload(b), User(name);
  }

  // Into a 5 x 5 map of 7s with index 3, so that untouched output shows.
  ImageFileResult Load(const std::string& path) {
    map.assign(5, 5, 1, 1, 7), index = 3;
    return LoadImageFile(path, &map, &index);
  }
  int Export(const std::string& path) { return fake.saveAnswers = {path}, ExportToFile(); }
  // Every message so far a warning, each naming its path and reason.
  void ExpectWarnings(const std::vector<std::pair<std::string, std::string>>& want) {
    ASSERT_EQ(fake.messages.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
      EXPECT_TRUE(fake.messages[i].title == "Warning" &&
                  fake.messages[i].icon == platform::MessageIcon::Exclamation &&
                  Has(fake.messages[i].text, want[i].first) &&
                  Has(fake.messages[i].text, want[i].second));
    fake.messages.clear();
  }

  const fs::path root = fs::temp_directory_path() / ("relievo_files_" + std::to_string(getpid()));
  const std::string user = (root / "user").string();
  ScopedFakePlatform platform;
  FakePlatform& fake = platform.fake;
  Heightmap map;
  int index = 0;
};

// The side: the largest within 1.3 of the longer image side. Quadrants blue, yellow / red,
// green (luma 18, 237 / 54, 182) show a crop, letterbox or flip. Deep colour loads as its
// 32-bit conversion (each channel's high byte), 16-bit grey as v / 257.
TEST_F(Files, ImagesLoadAsLuminanceStretchedToThePickedSize) {
  const struct {
    int m, index;
  } sides[] = {{10000, 0}, {192, 0}, {191, 1}, {97, 1}, {96, 2}, {49, 2},
               {48, 3},    {25, 3},  {24, 4},  {13, 4}, {12, 0}, {1, 0}};
  for (auto row : sides) EXPECT_EQ(PickMapSizeIndex(row.m, mapSizeTable, 5), row.index) << row.m;
  const struct {
    const char* name;
    int w, h, index;
  } rows[] = {{"photo.png", 640, 480, 0}, {"a.jpg", 100, 100, 1}, {"b.bmp", 96, 96, 2},
              {"c.tga", 20, 10, 4},       {"d.png", 10, 10, 0},   {"e.png", 150, 300, 0}};
  const unsigned quadrant[4][3] = {{0, 0, 255}, {255, 255, 0}, {255, 0, 0}, {0, 255, 0}};
  const int luma[4] = {18, 237, 54, 182};
  for (auto row : rows) {
    auto colour = [&](int x, int y, int c) {
      return quadrant[2 * (2 * y >= row.h) + (2 * x >= row.w)][c];
    };
    const int s = mapSizeTable[row.index];
    ASSERT_TRUE(Load(Make(row.name, FIT_BITMAP, 24, row.w, row.h, colour)).ok) << row.name;
    EXPECT_TRUE(index == row.index && map.width() == s && map.height() == s) << row.name;
    for (int q = 0; q < 4; ++q)
      for (int at : {s / 4, s / 8 + 1})
        EXPECT_NEAR(map(q % 2 * s / 2 + at, q / 2 * s / 2 + at), luma[q], 4)
            << row.name << " " << q;
  }
  auto deep = [](int x, int y, int c) { return unsigned(x * 1601 + y * 703 + c * 20000) % 65536; };
  const struct {
    FREE_IMAGE_TYPE type;
    int bpp, twinBpp;
    unsigned divisor;
  } deepRows[] = {{FIT_RGB16, 48, 24, 256}, {FIT_RGBA16, 64, 32, 256}, {FIT_UINT16, 16, 8, 257}};
  for (auto row : deepRows) {
    ASSERT_TRUE(Load(Make("twin.png", FIT_BITMAP, row.twinBpp, 40, 30, [&](int x, int y, int c) {
                  return deep(x, y, c) / row.divisor;
                })).ok);
    const Heightmap twin = map;
    EXPECT_TRUE(Load(Make("deep.png", row.type, row.bpp, 40, 30, deep)).ok && index == 3 &&
                map == twin);
  }
  auto grey = [](int x, int y, int) { return unsigned(x + y); };
  fs::rename(Make("e.ppm", FIT_BITMAP, 24, 30, 30, grey), User("e.pnm"));  // ".pnm" names no format
  EXPECT_TRUE(Load(User("e.pnm")).ok && index == 3 && map.width() == 32);
  std::ofstream(User("hand.pgm")) << "P5 # by hand\n# 4294967294\n24\n#\n24 255\n"
                                  << std::string(576, '\7');
  EXPECT_TRUE(Load(User("hand.pgm")).ok && index == 4 && map(3, 3) == 7)
      << "comments in the header";
  EXPECT_TRUE(Load(Make("runs.tga", FIT_BITMAP, 8, 30, 30, grey, TARGA_SAVE_RLE)).ok &&
              map(0, 0) == 0 && map(31, 31) == 58);
  EXPECT_TRUE(Load(Make("wide.png", FIT_BITMAP, 8, 65536, 2, grey)).ok && map.width() == 249)
      << "longest side";
  EXPECT_TRUE(Load(Make("whole.wbmp", FIT_BITMAP, 1, 30, 30, grey)).ok && map.width() == 32 &&
              map(3, 3) == 0);
}

std::vector<std::string> freeImageSaid;

// A failed load changes nothing and says why, once; FreeImage meeting one fault
// twice (header read and full read of a cut progressive JPEG) is heard once.
TEST_F(Files, UnreadableOrHugeImagesChangeNothingAndSayWhyOnce) {
  for (const char* name : {"noext", "text.bmp"}) std::ofstream(User(name)) << "not an image";
  const std::string cut =
      Make("cut.png", FIT_BITMAP, 24, 64, 64, [](int x, int y, int c) { return x * y + c; });
  fs::resize_file(cut, fs::file_size(cut) / 2);
  // A real 9000 x 8000 PNG cut after its header: only a header read tells its size.
  const std::string huge =
      Make("huge.png", FIT_BITMAP, 1, 9000, 8000, [](int, int, int) { return 0; });
  fs::resize_file(huge, ReadAll(huge).find("IDAT") + 4);
  // Found by fuzzing: a PGM 55 million pixels long ran the rescale out of memory.
  std::ofstream(User("long.pgm"), std::ios::binary) << std::string(
      "P5\x0e\xd3\xca\x06"
      "55111111\x0e"
      "1\x9c"
      "11\0\0a\0",
      22);
  // Found by fuzzing: a WBMP cut inside its extension fields hung FreeImage. One that is short
  // of its rows (even by a byte) could declare 65535 x 65535, and take 512 MB, in 8 bytes.
  std::ofstream(User("loop.wbmp"), std::ios::binary) << std::string("\0\xac\xe6\xa8\x2e", 5);
  fs::resize_file(Make("short.wbmp", FIT_BITMAP, 1, 30, 30, [](int, int, int) { return 0; }),
                  2 + 2 + 4 * 30 - 1);
  // A side FreeImage's int wraps to -2: it read rows of 2^32 - 2 pixels into a bitmap 2 wide.
  std::ofstream(User("wrap.pbm"), std::ios::binary) << "P4\n4294967294 9\n" << std::string(9, '\0');
  // A run-length Targa with fewer bytes than rows: FreeImage freed the bitmap, then used it.
  const std::string runs = Make(
      "runs.tga", FIT_BITMAP, 24, 30, 30, [](int, int, int) { return 0; }, TARGA_SAVE_RLE);
  fs::resize_file(runs, 18 + 29);
  const struct {
    const char* name;
    const char* why;
  } rows[] = {{"noext", "not in an image format"}, {"cut.png", "could not be read"},
              {"huge.png", "9000 x 8000 pixels"},  {"long.pgm", "too large"},
              {"loop.wbmp", "could not be read"},  {"short.wbmp", "could not be read"},
              {"wrap.pbm", "could not be read"},   {"runs.tga", "could not be read"}};
  for (auto row : rows) {
    ImageFileResult r = Load(User(row.name));
    EXPECT_TRUE(!r.ok && Has(r.message, row.why) && index == 3 && map.width() == 5 &&
                map(2, 2) == 7)
        << r.message;
  }
  fake.openAnswers = {User("text.bmp")}, heightmap = Ramp(63);
  ControlWindow().LoadImage(nullptr, nullptr);
  EXPECT_TRUE(heightmap == Ramp(63) && fake.openDialogs.at(0).title == "Load Image file");
  ExpectWarnings({{"text.bmp", "could not be read"}});
  const std::string jpg = Make(
      "cut.jpg", FIT_BITMAP, 24, 256, 256, [](int x, int y, int c) { return c ? 0 : x * y; },
      JPEG_PROGRESSIVE);
  fs::resize_file(jpg, fs::file_size(jpg) / 2);
  RouteFreeImageMessages(
      [](int format, const char* m) { freeImageSaid.push_back(std::to_string(format) + m); });
  EXPECT_TRUE(Load(jpg).ok);
  EXPECT_EQ(freeImageSaid, std::vector<std::string>{"2Premature end of JPEG file"});
}

// The save writes 8-bit grey, top row on top. Nothing is written when the name or format rules
// it out; a save that fails half-way or that FreeImage cannot read back keeps the old file.
TEST_F(Files, ImageSaveWritesGreyOrSaysWhyAndKeepsTheOldFile) {
  const struct {
    const char* name;
    const char* why;
  } rows[] = {{"plain", "no extension"},
              {"map.zzz", "no image format"},
              {"map.pcx", "cannot store"},
              {"map.ico", "cannot store"},
              {"missing/map.png", std::strerror(ENOENT)}};
  for (auto row : rows) {
    ImageFileResult r = SaveImageFile(User(row.name), Ramp(300));  // icons stop at 256 pixels
    EXPECT_TRUE(!r.ok && Has(r.message, row.why)) << r.message;
  }
  EXPECT_EQ(UserFiles(), 0u);
  const std::string bmp = Make("old.bmp", FIT_BITMAP, 8, 20, 20, [](int x, int, int) { return x; }),
                    psd = User("old.psd"), oldBmp = ReadAll(bmp);
  std::ofstream(psd) << "old";
  // The temporary PGM of 249 x 249 fits under the limit, the BMP does not.
  const ImageFileResult full =
      WithFileSizeLimit(63000, [&] { return SaveImageFile(bmp, Ramp(249)); });
  const ImageFileResult photoshop = SaveImageFile(psd, Ramp(63));
  EXPECT_TRUE(!full.ok && Has(full.message, bmp) && Has(full.message, std::strerror(EFBIG)))
      << full.message;
  EXPECT_TRUE(!photoshop.ok && Has(photoshop.message, psd) && Has(photoshop.message, "read"))
      << photoshop.message;
  EXPECT_TRUE(ReadAll(bmp) == oldBmp && ReadAll(psd) == "old" && UserFiles() == 2);
  fake.saveAnswers = {User("map.png")}, heightmap = Ramp(63);
  ControlWindow().SaveImage(nullptr, nullptr);
  EXPECT_TRUE(fake.messages.empty() && fake.saveDialogs.at(0).title == "Save Image file");
  EXPECT_EQ(platform::ToolkitFilterText(SaveImageFilters()).substr(0, 18), "Bitmap file\t*.bmp\n");
  ASSERT_TRUE(Load(User("map.png")).ok && index == 2);
  EXPECT_LE((cimg_library::CImg<int>(map) - cimg_library::CImg<int>(Ramp(63))).abs().max(), 8);
  FIBITMAP* saved = FreeImage_Load(FIF_PNG, User("map.png").c_str(), 0);
  ASSERT_TRUE(saved && FreeImage_GetColorType(saved) == FIC_MINISBLACK &&
              FreeImage_GetBPP(saved) == 8);
  EXPECT_EQ(FreeImage_GetScanLine(saved, 62)[10], Ramp(63)(10, 0));
  FreeImage_Unload(saved);
}

std::vector<std::string> received;

// Cancelled: nothing written or said. A failed write keeps the old file whole. Replacing a
// file keeps its mode, link, other names, a name with no room for a temporary one, and its
// protection (checked as an ordinary user in a child answering one bit per wrong case).
// The hand-off gives the host the text with its NUL in one call.
TEST_F(Files, ExportAndHandOffWriteTheTextOrSayWhyAndKeepTheOldFileItsModeAndLinks) {
  heightmap = Ramp(63), mapSize = 63;
  const std::string text = BuildMapText(MapTextForm::File), path = User("landscape");
  EXPECT_EQ(ExportToFile(), 0);
  EXPECT_EQ(fake.saveDialogs.at(0).title + fake.saveDialogs[0].filters.at(0).description +
                fake.saveDialogs[0].filters[0].patterns,
            "Save to QMF fileQMF files(*.qmf)*.qmf");
  std::ofstream(path) << "the old map";
  EXPECT_EQ(WithFileSizeLimit(100'000, [&] { return Export(path); }), 0);
  EXPECT_TRUE(ReadAll(path) == "the old map" && UserFiles() == 1);
  EXPECT_EQ(Export(User("missing/map.qmf")) + Export(user), 0);
  ExpectWarnings({{path, std::strerror(EFBIG)},
                  {User("missing/map.qmf"), std::strerror(ENOENT)},
                  {user, std::strerror(EISDIR)}});
  const std::string secret = User("secret.qmf"), target = User("target.qmf"),
                    link = User("link.qmf"), a = User("a"), b = User("b"),
                    fresh = User("fresh.qmf"), longName = User(std::string(247, 'n') + ".qmf");
  std::ofstream(path) << std::string(20'000'000, 'x');
  for (const std::string& p : {secret, target, a, longName}) std::ofstream(p) << "old";
  chmod(secret.c_str(), 0640);
  ASSERT_EQ(symlink("target.qmf", link.c_str()) + ::link(a.c_str(), b.c_str()), 0);
  for (const std::string& p : {path, secret, link, a, longName, fresh})
    EXPECT_EQ(Export(p), 1) << p;
  EXPECT_TRUE(fake.messages.empty()) << fake.messages[0].text;
  for (const std::string& p : {path, secret, target, b, longName, fresh})
    EXPECT_EQ(ReadAll(p), text) << p;
  struct stat st {};
  auto mode = [&](const std::string& p) {
    return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  };
  mode_t mask;
  umask(mask = umask(022));
  EXPECT_TRUE(mode(secret) == 0640 && mode(fresh) == (0666 & ~mask) && mode(b) && st.st_nlink == 2);
  EXPECT_TRUE(lstat(link.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  EXPECT_EQ(UserFiles(), 8u);  // no temporary file left beside them

  hostCallback = [](PluginCallbackData d) {
    received.push_back(std::to_string(d.kind) + std::string(d.text, d.size));
  };
  EXPECT_TRUE(PassToHost() == 1 && (hostCallback = nullptr, PassToHost()) == 0);
  EXPECT_EQ(received, std::vector<std::string>{"1" + BuildMapText(MapTextForm::Host) + '\0'});
  ExpectWarnings({{"No host", ""}});

  const std::string open = User("open"), closed = User("closed"), writeOnly = open + "/w.qmf",
                    readOnly = open + "/r.qmf", inClosed = closed + "/c.qmf";
  mkdir(open.c_str(), 0755), mkdir(closed.c_str(), 0755);
  for (const std::string& p : {writeOnly, readOnly, inClosed}) std::ofstream(p) << "old";
  const bool root = geteuid() == 0;
  for (const std::string& p : {user, open, closed, writeOnly, readOnly, inClosed})
    ASSERT_TRUE(!root || chown(p.c_str(), 65534, 65534) == 0);
  chmod(writeOnly.c_str(), 0200), chmod(readOnly.c_str(), 0444), chmod(closed.c_str(), 0555);
  const pid_t child = fork();
  if (child == 0) {
    if (root && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(64);
    const int wrong =
        (Export(writeOnly) != 1) | (Export(inClosed) != 1) << 1 | Export(readOnly) << 2;
    _exit(wrong | (fake.messages.size() != 1 || !Has(fake.messages[0].text, std::strerror(EACCES)))
                      << 3);
  }
  int status = -1;
  EXPECT_TRUE(waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << status;
  chmod(closed.c_str(), 0755);
  EXPECT_TRUE(ReadAll(writeOnly) == text && ReadAll(inClosed) == text &&
              ReadAll(readOnly) == "old");
  EXPECT_TRUE(mode(writeOnly) == 0200 && std::distance(fs::directory_iterator(open), {}) == 2);
}

TEST(PluginExports, ResolveByNameReturnTheIdentityAndNothingElseLeaks) {
  void* module = dlopen(RELIEVO_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto type = reinterpret_cast<int (*)()>(dlsym(module, "PluginType"));
  EXPECT_TRUE(type && type() == 1 && dlsym(module, "PluginSetCallback") &&
              dlsym(module, "PluginExecute"));
  const std::pair<const char*, std::string> texts[] = {
      {"PluginName", "Advanced Relievo"},
      {"PluginDescription", "Advanced version of Relievo Plugin"},
      {"PluginQuarnVersion", "0.862"},
      {"PluginVersion", "1.0 Beta"},
      {"PluginAuthor", "Ettar Quell \"Il Morvi\""},
      {"PluginEmail", "@"}};
  for (const auto& [name, text] : texts) {
    auto fn = reinterpret_cast<const char* (*)()>(dlsym(module, name));
    EXPECT_TRUE(fn && (text == "@" ? Has(fn(), "@") : fn() == text)) << name;
  }
  for (const char* inner : {"RunPlugin", "heightmap", "_Z9RunPluginv"})
    EXPECT_EQ(dlsym(module, inner), nullptr);
}

}  // namespace
