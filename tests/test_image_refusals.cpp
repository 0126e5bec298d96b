// Image files that must not load as a map: cut, badly packed, corrupt or no files at all; and
// colour float images, which load as their luminance.
#include <FreeImage.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "imagefiles/image_files.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

// A run-length Targa (type 10 colour, 11 grey) header: w x h pixels of `bits`.
std::string TargaHeader(int type, int w, int h, int bits) {
  const char head[18] = {0,
                         0,
                         static_cast<char>(type),
                         0,
                         0,
                         0,
                         0,
                         0,
                         0,
                         0,
                         0,
                         0,
                         static_cast<char>(w),
                         static_cast<char>(w >> 8),
                         static_cast<char>(h),
                         static_cast<char>(h >> 8),
                         static_cast<char>(bits),
                         0};
  return std::string(head, 18);
}

// A packet of `pixels` (1 to 128) pixels of `bytes` bytes: one repeated (run) or all given (raw).
std::string Packet(bool run, int pixels, int bytes) {
  return static_cast<char>((run ? 0x80 : 0) | (pixels - 1)) +
         std::string((run ? 1 : pixels) * bytes, '\x50');
}

class ImageRefusals : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder.path / "tmp");
    setenv("TMPDIR", (folder / "tmp").c_str(), 1);
  }
  void TearDown() override { unsetenv("TMPDIR"); }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary) << bytes;
    return folder / name;
  }
  // A 45 x 30 image of `type` whose bytes run in short runs.
  std::string Make(const std::string& name, FREE_IMAGE_TYPE type, int bpp, int flags = 0) {
    FIBITMAP* b = bpp == 16 && type == FIT_BITMAP
                      ? FreeImage_Allocate(45, 30, 16, FI16_555_RED_MASK, FI16_555_GREEN_MASK,
                                           FI16_555_BLUE_MASK)
                      : FreeImage_AllocateT(type, 45, 30, bpp);
    for (int y = 0; y < 30; ++y)
      for (unsigned x = 0; x < FreeImage_GetLine(b); ++x)
        FreeImage_GetScanLine(b, y)[x] = static_cast<BYTE>(x / 6 * 37 + y * 11);
    EXPECT_TRUE(FreeImage_Save(FreeImage_GetFIFFromFilename(name.c_str()), b,
                               (folder / name).c_str(), flags));
    FreeImage_Unload(b);
    return folder / name;
  }
  // Into a 5 x 5 map of 7s with index 3, so that untouched output shows.
  ImageFileResult Load(const std::string& path) {
    map.assign(5, 5, 1, 1, 7);
    index = 3;
    return LoadImageFile(path, &map, &index);
  }
  void ExpectRefused(const std::string& path) {
    const ImageFileResult r = Load(path);
    EXPECT_FALSE(r.ok) << path;
    EXPECT_NE(r.message, "") << path;
    EXPECT_EQ(map, Heightmap(5, 5, 1, 1, 7)) << path << ": the map changed";
    EXPECT_EQ(index, 3) << path;
  }

  ScratchFolder folder;
  Heightmap map;
  int index = 0;
};

TEST_F(ImageRefusals, BinaryPnmShorterThanItsSamplesIsRefused) {
  const struct {
    const char* name;
    FREE_IMAGE_TYPE type;
    int bpp;
  } rows[] = {{"a.pbm", FIT_BITMAP, 1},
              {"b.pgm", FIT_BITMAP, 8},
              {"c.ppm", FIT_BITMAP, 24},
              {"d.pgm", FIT_UINT16, 16},
              {"e.ppm", FIT_RGB16, 48}};
  for (const auto& row : rows) {
    const std::string path = Make(row.name, row.type, row.bpp);
    EXPECT_TRUE(Load(path).ok) << row.name << " whole";
    fs::resize_file(path, fs::file_size(path) - 1);
    ExpectRefused(path);
  }
  // 64 million samples declared in 20 bytes; 16-bit colour with no samples at all.
  ExpectRefused(Write("huge.pgm", "P5\n8000 8000\n255\n\1\2\3"));
  ExpectRefused(Write("empty.ppm", "P6\n4000 4000\n65535\n"));
}

// FreeImage read past the packets, or across rows into the row padding, and called it loaded.
TEST_F(ImageRefusals, RunLengthTargaWhosePacketsDoNotCoverEachRowIsRefused) {
  ExpectRefused(Write("short.tga", TargaHeader(10, 64, 64, 24) + Packet(false, 64, 3)));
  std::string across = TargaHeader(11, 1, 1000, 8);
  for (int i = 0; i < 8; ++i) across += Packet(true, 128, 1);
  ExpectRefused(Write("across.tga", across + std::string(1000, '\0')));  // a footer's bytes
  const std::string rows = TargaHeader(11, 2, 2, 8) + Packet(true, 2, 1) + Packet(true, 2, 1);
  ExpectRefused(
      Write("crossing.tga", TargaHeader(11, 2, 2, 8) + Packet(true, 4, 1) + Packet(true, 2, 1)));
  ExpectRefused(Write("cut.tga", rows.substr(0, rows.size() - 1)));
  EXPECT_TRUE(Load(Write("rows.tga", rows)).ok);
}

TEST_F(ImageRefusals, RunLengthTargasLoadExactlyAsTheirUncompressedTwins) {
  for (int bpp : {8, 16, 24, 32}) {
    ASSERT_TRUE(Load(Make("plain.tga", FIT_BITMAP, bpp)).ok) << bpp;
    const Heightmap twin = map;
    ASSERT_TRUE(Load(Make("runs.tga", FIT_BITMAP, bpp, TARGA_SAVE_RLE)).ok) << bpp;
    EXPECT_EQ(map, twin) << bpp;
  }
}

// Three stray bytes between two markers of a JPEG: libjpeg calls the data corrupt.
TEST_F(ImageRefusals, LoadThatFreeImageCallsCorruptIsRefused) {
  std::string bytes = ReadAll(Make("photo.jpg", FIT_BITMAP, 24));
  const auto byte = [&bytes](int at) { return static_cast<unsigned char>(bytes[at]); };
  const std::size_t afterApp0 = 4 + (byte(4) << 8 | byte(5));
  ExpectRefused(Write("stray.jpg", bytes.insert(afterApp0, "abc")));
}

// The luminance of R = G = B = v is v: colour files load as their grey twin.
TEST_F(ImageRefusals, ColourFloatImagesLoadAsTheirLuminance) {
  FIBITMAP* grey = FreeImage_AllocateT(FIT_FLOAT, 40, 30);
  FIBITMAP* colour = FreeImage_AllocateT(FIT_RGBF, 40, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const float v = ((x * 7 + y * 3) % 255 + 1) / 256.0f;  // exact in RGBE too
      reinterpret_cast<float*>(FreeImage_GetScanLine(grey, y))[x] = v;
      reinterpret_cast<FIRGBF*>(FreeImage_GetScanLine(colour, y))[x] = {v, v, v};
    }
  ASSERT_TRUE(FreeImage_Save(FIF_PFM, grey, (folder / "grey.pfm").c_str(), 0));
  ASSERT_TRUE(FreeImage_Save(FIF_PFM, colour, (folder / "colour.pfm").c_str(), 0));
  ASSERT_TRUE(FreeImage_Save(FIF_HDR, colour, (folder / "colour.hdr").c_str(), 0));
  FreeImage_Unload(grey);
  FreeImage_Unload(colour);
  ASSERT_TRUE(Load(folder / "grey.pfm").ok);
  const cimg_library::CImg<int> twin(map);
  for (const char* name : {"colour.pfm", "colour.hdr"}) {
    ASSERT_TRUE(Load(folder / name).ok) << name;
    EXPECT_LE((cimg_library::CImg<int>(map) - twin).abs().max(), 1) << name;
  }
}

// Both need a temporary file; without one they say where it could not be made.
TEST_F(ImageRefusals, UnwritableTemporaryFolderIsNamed) {
  const std::string image = Make("map.png", FIT_BITMAP, 8), missing = folder / "gone";
  setenv("TMPDIR", missing.c_str(), 1);
  const ImageFileResult load = Load(image),
                        save = SaveImageFile(folder / "saved.png", Heightmap(16, 16, 1, 1, 9));
  EXPECT_NE(load.message.find(missing), std::string::npos) << load.message;
  EXPECT_NE(save.message.find(missing), std::string::npos) << save.message;
  EXPECT_FALSE(load.ok);
  EXPECT_FALSE(save.ok);
  EXPECT_FALSE(fs::exists(folder / "saved.png"));
}

// A FIFO named like an image blocked the load until someone wrote to it.
TEST_F(ImageRefusals, FifoIsRefusedNotWaitedOn) {
  ASSERT_EQ(mkfifo((folder / "pipe.png").c_str(), 0644), 0);
  EXPECT_EQ(InChild([&] { return Load(folder / "pipe.png").ok; }, 10), 0) << "142: it hung";
}

}  // namespace
