#include "export/map_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "export/number_format.h"
#include "plugin/plugin_state.h"

namespace {

// One output buffer for the whole text, written through a raw pointer: a
// caller asks for room for a whole block of records, writes, then commits.
class TextBuffer {
 public:
  explicit TextBuffer(std::size_t expected) { text_.resize(std::max<std::size_t>(expected, 64)); }

  char* Room(std::size_t n) {
    if (text_.size() - used_ < n) text_.resize(std::max(text_.size() * 2, used_ + n));
    return &text_[used_];
  }
  void Commit(const char* end) { used_ = static_cast<std::size_t>(end - text_.data()); }
  void Append(const char* text, std::size_t n) {
    char* p = Room(n);
    std::memcpy(p, text, n);
    Commit(p + n);
  }
  std::size_t Size() const { return used_; }
  std::string Take() {
    text_.resize(used_);
    return std::move(text_);
  }

 private:
  std::string text_;
  std::size_t used_ = 0;
};

// Numbers formatted once, each with the separator that follows it, so the
// records are assembled by copying. A map of 249 samples has only 249
// distinct texture coordinates but writes 490,000 of them.
class NumberTable {
 public:
  void Clear() {
    text_.clear();
    start_.clear();
    longest_ = 0;
  }
  void AddInt(long long value, char separator) {
    char number[numfmt::kMaxIntChars + 1];
    Add(number, numfmt::FormatInt(number, value), separator);
  }
  void AddFixed(double value, char separator) {
    char number[numfmt::kMaxFixedChars + 1];
    Add(number, numfmt::FormatFixed13_4(number, value), separator);
  }
  char* CopyTo(char* out, std::size_t i) const {
    const std::size_t n = start_[i + 1] - start_[i];
    std::memcpy(out, text_.data() + start_[i], n);
    return out + n;
  }
  std::size_t Longest() const { return longest_; }

 private:
  void Add(char* begin, char* end, char separator) {
    *end++ = separator;
    if (start_.empty()) start_.push_back(0);
    text_.insert(text_.end(), begin, end);
    start_.push_back(static_cast<unsigned>(text_.size()));
    longest_ = std::max(longest_, static_cast<std::size_t>(end - begin));
  }

  std::vector<char> text_;
  std::vector<unsigned> start_;  // entry i is text_[start_[i], start_[i + 1])
  std::size_t longest_ = 0;
};

char Terminator(MapTextForm form) { return form == MapTextForm::File ? '\n' : ';'; }

// Writes a TerrainObject of side n: every number is formatted once into a
// table and the records are assembled by copying.
class ObjectWriter {
 public:
  ObjectWriter(int n, int yScale, unsigned char heightShift, MapTextForm form)
      : n_(std::max(n, 0)), end_(Terminator(form)) {
    for (int sample = 0; sample < 256; ++sample)
      heights_.AddInt(static_cast<long long>((sample + heightShift) & 255) * yScale, ';');
    for (long i = 0; i < static_cast<long>(n_) * n_; ++i) indices_.AddInt(i, ';');
  }

  // samples: the object's first sample; stride: samples from one row to the next.
  void Append(TextBuffer& out, const unsigned char* samples, long stride, int k, int xScale,
              int zScale, int xOffset, int zOffset, int texDivisor, int tileColumn, int tileRow) {
    PrepareTile(xScale, zScale, xOffset, zOffset, texDivisor, tileColumn, tileRow);
    char* p = out.Room(Bound());
    p = AppendName(p, k);
    p = numfmt::FormatInt(p, static_cast<long long>(n_) * n_);
    *p++ = end_;
    for (int r = 0; r < n_; ++r) {
      const unsigned char* row = samples + r * stride;
      for (int c = 0; c < n_; ++c) {
        p = x_.CopyTo(p, c);
        p = heights_.CopyTo(p, row[c]);
        p = z_.CopyTo(p, r);
      }
    }
    p = numfmt::FormatInt(p, n_ > 0 ? static_cast<long long>(n_ - 1) * (n_ - 1) : 0);
    *p++ = end_;
    for (int r = 0; r + 1 < n_; ++r)
      for (int c = 0; c + 1 < n_; ++c) p = AppendPolygon(p, c, r);
    out.Commit(p);
  }

  std::size_t Bound() const {
    std::size_t cells = n_ > 0 ? static_cast<std::size_t>(n_ - 1) * (n_ - 1) : 0;
    std::size_t vertex = x_.Longest() + heights_.Longest() + z_.Longest();
    std::size_t polygon = 4 + 4 * (indices_.Longest() + u_.Longest() + v_.Longest());
    return 64 + 2 * (numfmt::kMaxIntChars + 1) + static_cast<std::size_t>(n_) * n_ * vertex +
           cells * polygon;
  }

 private:
  void PrepareTile(int xScale, int zScale, int xOffset, int zOffset, int texDivisor, int tileColumn,
                   int tileRow) {
    x_.Clear();
    z_.Clear();
    u_.Clear();
    v_.Clear();
    const long long half = n_ / 2;
    for (int i = 0; i < n_; ++i) {
      x_.AddInt((i + static_cast<long long>(xOffset) - half) * xScale, ';');
      z_.AddInt((i + static_cast<long long>(zOffset) - half) * zScale, end_);
      u_.AddFixed((31.0 * tileColumn + i) / texDivisor, ';');
      v_.AddFixed((31.0 * tileRow + i) / texDivisor, ';');
    }
  }

  char* AppendName(char* p, int k) const {
    std::memcpy(p, "terrain", 7);
    p = numfmt::FormatInt(p + 7, k);
    static const char kConstants[] = ";9;-1;1;-1;0;-";
    std::memcpy(p, kConstants, sizeof(kConstants) - 1);
    p += sizeof(kConstants) - 1;
    *p++ = end_;
    return p;
  }

  // The cell whose top-left sample is (c, r); corners run (c+1, r),
  // (c+1, r+1), (c, r+1), (c, r).
  char* AppendPolygon(char* p, int c, int r) const {
    const std::size_t top = static_cast<std::size_t>(r) * n_ + c;
    const std::size_t bottom = top + n_;
    std::memcpy(p, "4;5;", 4);
    p = indices_.CopyTo(p + 4, top + 1);
    p = indices_.CopyTo(p, bottom + 1);
    p = indices_.CopyTo(p, bottom);
    p = indices_.CopyTo(p, top);
    p = u_.CopyTo(p, c + 1);
    p = v_.CopyTo(p, r);
    p = u_.CopyTo(p, c + 1);
    p = v_.CopyTo(p, r + 1);
    p = u_.CopyTo(p, c);
    p = v_.CopyTo(p, r + 1);
    p = u_.CopyTo(p, c);
    return v_.CopyTo(p, r);
  }

  int n_;
  char end_;
  NumberTable heights_, indices_, x_, z_, u_, v_;
};

void AppendCountRecord(TextBuffer& out, long long count, char end) {
  char* p = out.Room(numfmt::kMaxIntChars + 1);
  p = numfmt::FormatInt(p, count);
  *p++ = end;
  out.Commit(p);
}

void AppendHeader(TextBuffer& out, int objects, char end) {
  const char* rows[] = {"Quarn Map File", "Version 0.86", "Land;255;255;255", "goodies.qtp"};
  for (const char* row : rows) {
    out.Append(row, std::strlen(row));
    out.Append(&end, 1);
  }
  AppendCountRecord(out, objects, end);
}

unsigned char LowestSample(const unsigned char* data, int side, long stride) {
  unsigned char lowest = 255;
  for (int r = 0; r < side; ++r)
    for (int c = 0; c < side; ++c) lowest = std::min(lowest, data[r * stride + c]);
  return lowest;
}

// BuildTerrainObject's writer; the map text appends every object through it,
// with one ObjectWriter for all its objects.
void AppendTerrainObject(TextBuffer& out, ObjectWriter& writer, const Heightmap& samples, int k,
                         int xScale, int zScale, int xOffset, int zOffset, int texDivisor,
                         int tileColumn, int tileRow) {
  writer.Append(out, samples.data(), samples.width(), k, xScale, zScale, xOffset, zOffset,
                texDivisor, tileColumn, tileRow);
}

}  // namespace

std::string BuildTerrainObject(const Heightmap& samples, int k, int xScale, int yScale, int zScale,
                               int xOffset, int zOffset, unsigned char heightShift, int texDivisor,
                               int tileColumn, int tileRow, MapTextForm form) {
  ObjectWriter writer(std::min(samples.width(), samples.height()), yScale, heightShift, form);
  TextBuffer out(0);
  AppendTerrainObject(out, writer, samples, k, xScale, zScale, xOffset, zOffset, texDivisor,
                      tileColumn, tileRow);
  return out.Take();
}

std::string BuildMapText(MapTextForm form) {
  // mapSize should equal the heightmap's side; if a run left them apart, the
  // heightmap decides, so the text never reads beyond it.
  const int side = std::min(heightmap.width(), heightmap.height());
  const int step = side > 0 ? maxWideness / side : 0;
  const int yStep = maxHeight / 255;
  const unsigned char shift =
      static_cast<unsigned char>(256 - LowestSample(heightmap.data(), side, heightmap.width()));
  // side / 31 for every side of the size table; the -1 keeps sides that are
  // multiples of 31 from cutting a tile past the map's edge.
  const int tiles = side > 32 ? (side - 1) / 31 : 1;
  const char end = Terminator(form);

  ObjectWriter writer(tiles == 1 ? side : 32, yStep, shift, form);
  TextBuffer out(0);
  if (tiles == 1) {
    AppendHeader(out, 1, end);
    const Heightmap whole = side > 0 ? heightmap.get_crop(0, 0, side - 1, side - 1) : Heightmap();
    AppendTerrainObject(out, writer, whole, 0, step, step, 0, 0, side, 0, 0);
  } else {
    AppendHeader(out, tiles * tiles, end);
    for (int i = 0; i < tiles; ++i) {
      for (int j = 0; j < tiles; ++j) {
        const std::size_t before = out.Size();
        AppendTerrainObject(
            out, writer, heightmap.get_crop(31 * j, 31 * i, 31 * j + 31, 31 * i + 31),
            i * tiles + j, step, step, 31 * j - side / 2 + 16, 31 * i - side / 2 + 16, side, j, i);
        // The first tile shows how long a tile is: make room for the rest at once.
        if (i == 0 && j == 0) out.Room((out.Size() - before) * (tiles * tiles - 1) + 64);
      }
    }
  }
  AppendCountRecord(out, 0, end);
  return out.Take();
}
