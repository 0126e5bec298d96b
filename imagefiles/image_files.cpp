#include "imagefiles/image_files.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "plugin/plugin_state.h"

const char kLoadImageTitle[] = "Load Image file";
const char kSaveImageTitle[] = "Save Image file";

const std::vector<platform::FileFilter>& LoadImageFilters() {
  static const std::vector<platform::FileFilter> filters = {
      {"All supported image files",
       "*.bmp;*.jpg;*.jpeg;*.tga;*.psd;*.tif;*.tiff;*.ras;*.pct;*.pcd;*.pbm;*.pcx;*.png;*.pgm;"
       "*.ppm;*.pnm;*.iff;*.lbm;*.xpm;*.xbm;*.wbmp;*.ico;*.koa"},
      {"Common Files (*.jpg,*.bmp,*.tga,*.png,*.xpm)", "*.bmp;*.jpg;*.jpeg;*.tga;*.png;*.xpm"},
      {"Jpeg only (*.jpg,*.jpeg)", "*.jpg;*.jpeg"},
      {"Bitmap only(*.bmp)", "*.bmp"},
      {"Targa only(*.tga)", "*.tga"},
      {"Portable Network Graphics only(*.png)", "*.png"},
      {"Photoshop only(*.psd)", "*.psd"},
  };
  return filters;
}

const std::vector<platform::FileFilter>& SaveImageFilters() {
  static const std::vector<platform::FileFilter> filters = {
      {"Bitmap file(*.bmp)", "*.bmp"},
      {"Jpeg file(*.jpg)", "*.jpg"},
      {"Targa file(*.tga)", "*.tga"},
      {"Tagged image format(*.tiff)", "*.tiff"},
      {"Portable network graphics(*.png)", "*.png"},
      {"X11 pixmap format(*.xpm)", "*.xpm"},
      {"Photoshop(*.psd)", "*.psd"},
  };
  return filters;
}

int PickMapSizeIndex(int m, const int* sides, int count) {
  int best = -1;
  float bestRatio = 0.0f;
  for (int i = 0; i < count; ++i) {
    float r = static_cast<float>(sides[i]) / static_cast<float>(m);
    if (r <= 1.3f && r > bestRatio) {
      best = i;
      bestRatio = r;
    }
  }
  return best < 0 ? 0 : best;
}

bool WriteRawPgm(const std::string& path, const Heightmap& map) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  // CImg's own save_pnm no longer writes its creator comment; readers of our
  // temporary files see the header they always saw.
  std::fprintf(f, "P5\n# CREATOR: CImg : Original size=%dx%dx%dx%d\n%d %d\n255\n", map.width(),
               map.height(), 1, 1, map.width(), map.height());
  std::size_t bytes = static_cast<std::size_t>(map.width()) * map.height();
  bool written = std::fwrite(map.data(), 1, bytes, f) == bytes;
  return std::fclose(f) == 0 && written;
}

bool ReadRawPgm(const std::string& path, int side, Heightmap* map) {
  Heightmap read;
  try {
    read.load_pnm(path.c_str());
  } catch (const cimg_library::CImgException&) {
    return false;
  }
  if (read.width() != side || read.height() != side || read.depth() != 1) return false;
  if (read.spectrum() > 1) read.channel(0);
  read.swap(*map);
  return true;
}

namespace {

struct BitmapDeleter {
  void operator()(FIBITMAP* b) const { FreeImage_Unload(b); }
};
using Bitmap = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// A temporary file that is deleted when the operation ends, however it ends.
class TempFile {
 public:
  TempFile() = default;
  explicit TempFile(std::string path) : path_(std::move(path)) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!path_.empty()) platform::RemoveFile(path_);
  }
  bool Make() { return platform::MakeTempFile("land", &path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

ImageFileResult Failure(const std::string& message) { return {false, message}; }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool Exists(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

bool HasExtension(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::size_t dot = path.rfind('.');
  bool dotInName = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return dotInName && dot + 1 < path.size();
}

// The extension names the format; a name FreeImage does not know by its
// extension (".pnm" is one the open dialog offers) is identified by content.
FREE_IMAGE_FORMAT FormatOf(const std::string& path) {
  FREE_IMAGE_FORMAT fif = FreeImage_GetFIFFromFilename(path.c_str());
  if (fif == FIF_UNKNOWN) fif = FreeImage_GetFileType(path.c_str(), 0);
  return fif;
}

// Reads the header first, so that an image too large to convert is refused
// before its pixels take any memory. Formats that cannot read a header alone
// deliver the whole image at once, which is then used as it is.
Bitmap LoadLimited(FREE_IMAGE_FORMAT fif, const std::string& path, std::string* why) {
  Bitmap image(FreeImage_Load(fif, path.c_str(), FIF_LOAD_NOPIXELS));
  if (image) {
    unsigned w = FreeImage_GetWidth(image.get()), h = FreeImage_GetHeight(image.get());
    const char* tooLarge = nullptr;
    if (std::max(w, h) > kMaxImageSide)
      tooLarge = "longer than 65536 pixels on a side";
    else if (static_cast<unsigned long long>(w) * h > kMaxImagePixels)
      tooLarge = "more than 64 million pixels";
    if (tooLarge) {
      *why = "The image " + Quoted(path) + " is " + std::to_string(w) + " x " + std::to_string(h) +
             " pixels, " + tooLarge + ": it is too large to be loaded as a heightmap.";
      return nullptr;
    }
    if (!FreeImage_HasPixels(image.get())) image.reset(FreeImage_Load(fif, path.c_str(), 0));
  }
  if (!image) *why = "The file " + Quoted(path) + " could not be read as an image.";
  return image;
}

// The image's luminance, stretched to side x side. Images of more than 8 bits
// per channel are first brought down to 8 bits, since the 32-bit conversion
// takes ordinary bitmaps only.
Bitmap GreySquare(FIBITMAP* image, int side) {
  Bitmap standard;
  if (FreeImage_GetImageType(image) != FIT_BITMAP) {
    standard.reset(FreeImage_ConvertToStandardType(image, TRUE));
    if (!standard) return nullptr;
    image = standard.get();
  }
  Bitmap rgba(FreeImage_ConvertTo32Bits(image));
  if (!rgba) return nullptr;
  Bitmap scaled(FreeImage_Rescale(rgba.get(), side, side, FILTER_BICUBIC));
  if (!scaled) return nullptr;
  return Bitmap(FreeImage_ConvertTo8Bits(scaled.get()));
}

}  // namespace

ImageFileResult LoadImageFile(const std::string& path, Heightmap* map, int* sizeIndex) {
  TempFile made;
  if (!made.Make()) return {};
  TempFile pnm(made.path().substr(0, made.path().size() - 3) + "pnm");

  FREE_IMAGE_FORMAT fif = FormatOf(path);
  if (fif == FIF_UNKNOWN)
    return Failure("The file " + Quoted(path) + " is not in an image format known here.");
  std::string why;
  Bitmap image = LoadLimited(fif, path, &why);
  if (!image) return Failure(why);

  int m = static_cast<int>(std::max(FreeImage_GetWidth(image.get()), FreeImage_GetHeight(image.get())));
  int index = PickMapSizeIndex(m, mapSizeTable, 5);
  int side = mapSizeTable[index];
  Bitmap grey = GreySquare(image.get(), side);
  if (!grey || !FreeImage_Save(FIF_PPM, grey.get(), pnm.path().c_str(), 0))
    return Failure("The image " + Quoted(path) + " could not be converted to a heightmap.");

  Heightmap loaded;
  if (!ReadRawPgm(pnm.path(), side, &loaded))
    return Failure("The converted image could not be read back from the temporary file " +
                   Quoted(pnm.path()) + ".");
  loaded.swap(*map);
  *sizeIndex = index;
  return {true, ""};
}

namespace {

// Checked before anything is written, so an impossible save never truncates
// or creates the user's file.
std::string WhyNotWritable(FREE_IMAGE_FORMAT fif, const std::string& path) {
  if (fif == FIF_UNKNOWN && !HasExtension(path))
    return "The image was not saved: the name " + Quoted(path) +
           " has no extension.\nAdd one that names the format, for example .png or .bmp.";
  if (fif == FIF_UNKNOWN)
    return "The image was not saved: the extension of " + Quoted(path) +
           " names no image format known here.";
  if (!FreeImage_FIFSupportsWriting(fif) || !FreeImage_FIFSupportsExportType(fif, FIT_BITMAP) ||
      !FreeImage_FIFSupportsExportBPP(fif, 8))
    return "The image was not saved: the format of " + Quoted(path) +
           " cannot store an 8-bit greyscale image.";
  return "";
}

}  // namespace

ImageFileResult SaveImageFile(const std::string& path, const Heightmap& map) {
  TempFile pgm;
  if (!pgm.Make()) return {};
  if (!WriteRawPgm(pgm.path(), map))
    return Failure("The heightmap could not be written to the temporary file " +
                   Quoted(pgm.path()) + ".");

  FREE_IMAGE_FORMAT fif = FreeImage_GetFIFFromFilename(path.c_str());
  std::string why = WhyNotWritable(fif, path);
  if (!why.empty()) return Failure(why);
  Bitmap grey(FreeImage_Load(FIF_PPM, pgm.path().c_str(), 0));
  if (!grey)
    return Failure("The temporary file " + Quoted(pgm.path()) + " could not be read back.");

  bool existed = Exists(path);
  if (!FreeImage_Save(fif, grey.get(), path.c_str(), 0)) {
    // FreeImage opens the file before the format's writer may give up.
    if (!existed) platform::RemoveFile(path);
    return Failure("The image could not be saved as " + Quoted(path) +
                   ": the file cannot be written there, or the format cannot store this image.");
  }
  return {true, ""};
}
