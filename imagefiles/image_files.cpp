#include "imagefiles/image_files.h"

#include <FreeImage.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "platform/file_size_signal.h"
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
  // On failure *folder names the folder that refused it (empty if unknown).
  bool Make(std::string* folder) {
    std::string made;
    if (!platform::MakeTempFile("land", &made)) {
      *folder = made;
      return false;
    }
    path_ = made;
    return true;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Where FreeImage's messages go, and the messages already shown during the
// current load or save (none outside one).
void (*showMessage)(int format, const char* message) = nullptr;
std::vector<std::string>* shownThisOperation = nullptr;
bool messagesMuted = false;

// Set when FreeImage calls what it read corrupt: it may still hand back a
// bitmap, part of it never filled.
bool corruptDataReported = false;

bool SaysCorrupt(const char* message) {
  std::string text = message ? message : "";
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text.find("corrupt") != std::string::npos;
}

void OnFreeImageMessage(FREE_IMAGE_FORMAT format, const char* message) {
  if (!messagesMuted && SaysCorrupt(message)) corruptDataReported = true;
  if (messagesMuted || !showMessage) return;
  if (shownThisOperation) {
    std::string key = std::to_string(format) + " " + (message ? message : "");
    std::vector<std::string>& shown = *shownThisOperation;
    if (std::find(shown.begin(), shown.end(), key) != shown.end()) return;
    shown.push_back(key);
  }
  showMessage(format, message);
}

// One load or save: reading the header and then the whole image reports the
// same fault twice, which the user is told once.
class MessageScope {
 public:
  // Hooked here too, so that a corrupt file is heard of however we were called.
  MessageScope() : outer_(shownThisOperation) {
    FreeImage_SetOutputMessage(OnFreeImageMessage);
    shownThisOperation = &shown_;
  }
  ~MessageScope() { shownThisOperation = outer_; }
  MessageScope(const MessageScope&) = delete;
  MessageScope& operator=(const MessageScope&) = delete;

 private:
  std::vector<std::string> shown_;
  std::vector<std::string>* outer_;
};

ImageFileResult Failure(const std::string& message) { return {false, message}; }

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

ImageFileResult NoTemporaryFile(const std::string& what, const std::string& folder) {
  const std::string where =
      folder.empty() ? "the temporary folder" : "the folder " + Quoted(folder);
  return Failure(what + ": no temporary file could be made in " + where +
                 ".\nCheck that it exists and that you may write to it.");
}

// A FIFO, device or socket would block the open or never end. A file that
// cannot be looked at is left to the load to report.
bool IsSpecialFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
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

// A file read here before FreeImage gets it, closed however the check ends.
using InputFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
InputFile OpenInput(const std::string& path) {
  return {std::fopen(path.c_str(), "rb"), std::fclose};
}

// FreeImage reads a WBMP whole, with no header-only load; it loops forever on a
// file that ends inside the extension fields and trusts the declared size, so
// a dozen bytes could ask for 65535 x 65535. The header is read here first, the
// way FreeImage reads it, and the file must hold every row it declares.
bool ReadWbmpSize(const std::string& path, unsigned* w, unsigned* h) {
  const InputFile file = OpenInput(path);
  std::FILE* f = file.get();
  auto number = [f](unsigned* out) {  // 7 bits a byte, most significant first; bit 7: more follow
    std::uint32_t value = 0;
    for (int c; (c = std::getc(f)) != EOF;) {
      value = value << 7 | (c & 0x7F);
      if (!(c & 0x80)) return *out = static_cast<std::uint16_t>(value), true;
    }
    return false;
  };
  unsigned type = 0;
  int fixed = 0;
  if (!f || !number(&type) || type != 0 || (fixed = std::getc(f)) == EOF) return false;
  for (int more = fixed & 0x80, field; more; more = field & 0x80) {
    unsigned skipped = 0;
    if ((field = std::getc(f)) == EOF) return false;
    if ((field & 0x60) == 0x00 && !number(&skipped)) return false;
    if ((field & 0x60) == 0x60 &&
        std::fseek(f, ((field & 0x70) >> 4) + (field & 0x0F), SEEK_CUR) != 0)
      return false;
  }
  if (!number(w) || !number(h) || *w == 0 || *h == 0) return false;
  const long pixelsAt = std::ftell(f);  // past the end if a skip went there
  if (pixelsAt < 0 || std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) < pixelsAt) return false;
  return static_cast<unsigned long long>(std::ftell(f) - pixelsAt) >= (*w + 7ULL) / 8 * *h;
}

// FreeImage's PNM reader keeps each side in an int that a long number wraps,
// to -2 for instance. The bitmap is then made with the side's absolute value,
// but the rows are read with the wrapped one: far past the end of the bitmap.
// The sides are read here first, the way FreeImage reads them, and must fit.
// *held tells whether a binary PNM holds the samples its header declares:
// FreeImage would make the whole bitmap for a file cut after its header and
// fill it with zeros, without a word.
bool ReadPnmSize(const std::string& path, unsigned* w, unsigned* h, bool* held) {
  const InputFile file = OpenInput(path);
  std::FILE* f = file.get();
  auto number = [f](unsigned* out) {  // decimal digits after anything else, "#" to the line's end
    int c;
    do {
      c = std::getc(f);
      if (c == '#')
        while (c != '\n' && c != EOF) c = std::getc(f);
    } while (c != EOF && (c < '0' || c > '9'));
    unsigned long long value = 0;
    for (; c >= '0' && c <= '9'; c = std::getc(f))
      value = std::min(value * 10 + (c - '0'), 1ULL << 31);
    *out = static_cast<unsigned>(value);
    // A digit's end is read, as FreeImage does: the samples start after it.
    return c != EOF && value > 0 && value < (1ULL << 31);
  };
  if (!f || std::getc(f) != 'P') return false;
  const int kind = std::getc(f);
  if (kind < '1' || kind > '6' || !number(w) || !number(h)) return false;
  if (kind < '4') return true;  // text samples: no size to check
  unsigned maxValue = 1;
  if (kind != '4' && !number(&maxValue)) return false;
  const long samplesAt = std::ftell(f);
  if (samplesAt < 0 || std::fseek(f, 0, SEEK_END) != 0 || std::ftell(f) < samplesAt) return false;
  const unsigned long long bytes = static_cast<unsigned long long>(std::ftell(f) - samplesAt);
  const unsigned pixelBytes = (kind == '6' ? 3 : 1) * (maxValue > 255 ? 2 : 1);
  *held = kind == '4' ? *h <= bytes / ((*w + 7ULL) / 8)
                      : static_cast<unsigned long long>(*w) * *h <= bytes / pixelBytes;
  return true;
}

// FreeImage's Targa reader trusts the file: an uncoded one cut short loads
// with whatever the missing rows happen to hold, and in a run-length coded one
// packets that run out read past the data, a packet that crosses a scanline
// lands in the row padding, and one past the last row stops the load half
// done. So an uncoded file must hold every pixel, and a coded one's packet
// headers are walked first, which is cheap: every row must be covered by whole
// packets within it, and the file must hold every packet's pixels.
bool TargaPixelsHeld(const std::string& path) {
  const InputFile file = OpenInput(path);
  std::FILE* f = file.get();
  unsigned char h[18];
  if (!f || std::fread(h, 1, 18, f) != 18 || std::fseek(f, 0, SEEK_END) != 0) return false;
  const bool coded = h[2] >= 9 && h[2] <= 11;
  if (!coded && (h[2] < 1 || h[2] > 3)) return true;  // no pixels, or a kind FreeImage refuses
  const long end = std::ftell(f), colourMap = h[1] ? (h[7] + 7) / 8 * (h[5] | h[6] << 8) : 0;
  const unsigned width = h[12] | h[13] << 8, rows = h[14] | h[15] << 8,
                 pixelBytes = (h[16] + 7) / 8;
  const long pixelsAt = 18 + h[0] + colourMap;
  if (width == 0 || rows == 0 || pixelBytes == 0 || std::fseek(f, pixelsAt, SEEK_SET)) return false;
  if (!coded) return end - pixelsAt >= static_cast<long long>(width) * rows * pixelBytes;
  for (unsigned y = 0; y < rows; ++y)
    for (unsigned left = width; left > 0;) {
      const int packet = std::getc(f);
      const unsigned count = (packet & 0x7F) + 1;
      if (packet == EOF || count > left) return false;
      left -= count;
      if (std::fseek(f, static_cast<long>((packet & 0x80 ? 1 : count) * pixelBytes), SEEK_CUR))
        return false;
    }
  return std::ftell(f) <= end;
}

// Reads the header first, so that an image too large to convert is refused
// before its pixels take any memory. Formats that cannot read a header alone
// deliver the whole image at once, which is then used as it is.
Bitmap LoadLimited(FREE_IMAGE_FORMAT fif, const std::string& path, std::string* why) {
  unsigned w = 0, h = 0;
  const bool pnm = fif == FIF_PBM || fif == FIF_PBMRAW || fif == FIF_PGM || fif == FIF_PGMRAW ||
                   fif == FIF_PPM || fif == FIF_PPMRAW;
  const bool ownHeader = fif == FIF_WBMP || pnm;
  const bool refused = fif == FIF_TARGA && !TargaPixelsHeld(path);
  Bitmap image(ownHeader || refused ? nullptr
                                    : FreeImage_Load(fif, path.c_str(), FIF_LOAD_NOPIXELS));
  if (image) w = FreeImage_GetWidth(image.get()), h = FreeImage_GetHeight(image.get());
  bool held = true;
  const bool sized =
      ownHeader && (pnm ? ReadPnmSize(path, &w, &h, &held) : ReadWbmpSize(path, &w, &h));
  if (image || sized) {
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
    if (!held) {
      *why = "The file " + Quoted(path) + " is cut short: it holds fewer samples than the " +
             std::to_string(w) + " x " + std::to_string(h) + " pixels its header declares.";
      return nullptr;
    }
    if (!image || !FreeImage_HasPixels(image.get()))
      image.reset(FreeImage_Load(fif, path.c_str(), 0));
  }
  if (!image) *why = "The file " + Quoted(path) + " could not be read as an image.";
  return image;
}

// 16-bit grey as 8-bit grey, v / 257: 0 and 65535 stay the ends of the range,
// so a heightmap exported by other terrain tools keeps its relief.
Bitmap GreyFromSixteenBits(FIBITMAP* deep) {
  const unsigned w = FreeImage_GetWidth(deep), h = FreeImage_GetHeight(deep);
  Bitmap grey(FreeImage_Allocate(w, h, 8));  // comes with a grey palette
  if (!grey) return nullptr;
  for (unsigned y = 0; y < h; ++y) {
    const WORD* src = reinterpret_cast<const WORD*>(FreeImage_GetScanLine(deep, y));
    BYTE* dst = FreeImage_GetScanLine(grey.get(), y);
    for (unsigned x = 0; x < w; ++x) dst[x] = static_cast<BYTE>(src[x] / 257);
  }
  return grey;
}

// The image's luminance, stretched to side x side. The 32-bit conversion
// takes ordinary bitmaps and 16-bit colour (keeping each channel's high
// byte); 16-bit grey and the other deep types are brought to 8 bits first,
// colour floats (PFM, HDR) through their luminance.
Bitmap GreySquare(FIBITMAP* image, int side) {
  Bitmap standard;
  const FREE_IMAGE_TYPE type = FreeImage_GetImageType(image);
  if (type == FIT_RGBF || type == FIT_RGBAF) {  // colour floats: their luminance, as grey ones
    standard.reset(FreeImage_ConvertToFloat(image));
    if (!standard) return nullptr;
    image = standard.get();
  }
  const FREE_IMAGE_TYPE greyType = FreeImage_GetImageType(image);
  if (greyType != FIT_BITMAP && greyType != FIT_RGB16 && greyType != FIT_RGBA16) {
    standard = greyType == FIT_UINT16 ? GreyFromSixteenBits(image)
                                      : Bitmap(FreeImage_ConvertToStandardType(image, TRUE));
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

void RouteFreeImageMessages(void (*show)(int format, const char* message)) {
  showMessage = show;
  FreeImage_SetOutputMessage(OnFreeImageMessage);
}

ImageFileResult LoadImageFile(const std::string& path, Heightmap* map, int* sizeIndex) {
  MessageScope messages;
  const platform::FileSizeSignalHeld held;
  TempFile made;
  std::string folder;
  if (!made.Make(&folder)) return NoTemporaryFile("The image was not loaded", folder);
  TempFile pnm(made.path().substr(0, made.path().size() - 3) + "pnm");

  if (IsSpecialFile(path))
    return Failure("The file " + Quoted(path) + " is not a regular file and cannot be loaded.");
  FREE_IMAGE_FORMAT fif = FormatOf(path);
  if (fif == FIF_UNKNOWN)
    return Failure("The file " + Quoted(path) + " is not in an image format known here.");
  std::string why;
  corruptDataReported = false;
  Bitmap image = LoadLimited(fif, path, &why);
  if (image && corruptDataReported)
    return Failure("The file " + Quoted(path) + " holds corrupt image data and was not loaded.");
  if (!image) return Failure(why);

  int m =
      static_cast<int>(std::max(FreeImage_GetWidth(image.get()), FreeImage_GetHeight(image.get())));
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

namespace {

struct MemoryDeleter {
  void operator()(FIMEMORY* m) const { FreeImage_CloseMemory(m); }
};

// Whether FreeImage reads its own output back as an image of the map's size.
// Its complaints about a file nobody asked to read would only confuse.
bool ReadsBack(FREE_IMAGE_FORMAT fif, FIMEMORY* encoded, const Heightmap& map) {
  messagesMuted = true;
  FreeImage_SeekMemory(encoded, 0, SEEK_SET);
  Bitmap back(FreeImage_LoadFromMemory(fif, encoded, 0));
  messagesMuted = false;
  return back && FreeImage_GetWidth(back.get()) == static_cast<unsigned>(map.width()) &&
         FreeImage_GetHeight(back.get()) == static_cast<unsigned>(map.height());
}

}  // namespace

// The image is encoded in memory and checked before the user's file is
// touched; then the checked write replaces the file whole or reports why not.
ImageFileResult SaveImageFile(const std::string& path, const Heightmap& map) {
  MessageScope messages;
  const platform::FileSizeSignalHeld held;
  TempFile pgm;
  std::string folder;
  if (!pgm.Make(&folder)) return NoTemporaryFile("The image was not saved", folder);
  if (!WriteRawPgm(pgm.path(), map))
    return Failure("The heightmap could not be written to the temporary file " +
                   Quoted(pgm.path()) + ".");

  FREE_IMAGE_FORMAT fif = FreeImage_GetFIFFromFilename(path.c_str());
  std::string why = WhyNotWritable(fif, path);
  if (!why.empty()) return Failure(why);
  Bitmap grey(FreeImage_Load(FIF_PPM, pgm.path().c_str(), 0));
  if (!grey)
    return Failure("The temporary file " + Quoted(pgm.path()) + " could not be read back.");

  std::unique_ptr<FIMEMORY, MemoryDeleter> encoded(FreeImage_OpenMemory());
  if (!encoded || !FreeImage_SaveToMemory(fif, grey.get(), encoded.get(), 0))
    return Failure("The image could not be saved as " + Quoted(path) +
                   ": the format cannot store this image.");
  if (!ReadsBack(fif, encoded.get(), map))
    return Failure("The image was not saved as " + Quoted(path) +
                   ": FreeImage cannot read this format back as it writes it, so the file "
                   "would be damaged.\nChoose another format, for example .png or .bmp.");
  BYTE* data = nullptr;
  DWORD size = 0;
  FreeImage_AcquireMemory(encoded.get(), &data, &size);
  std::string reason;
  if (!platform::WriteWholeFile(path, std::string(reinterpret_cast<char*>(data), size),
                                platform::FileMode::Binary, &reason))
    return Failure("The image could not be saved as " + Quoted(path) + ": " + reason + ".");
  return {true, ""};
}
