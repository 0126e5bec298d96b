#include "host/map_text_reader.h"

#include <algorithm>
#include <cstring>

std::string CheckCallbackRecord(const PluginCallbackData& data) {
  if (data.kind != 1) return "kind is " + std::to_string(data.kind) + ", expected 1";
  if (!data.text) return "text is a null pointer";
  if (data.size < 1) return "size " + std::to_string(data.size) + " is too small";
  if (data.text[data.size - 1] != '\0') return "text[size - 1] is not NUL";
  std::size_t len = std::strlen(data.text);
  if (len + 1 != static_cast<std::size_t>(data.size))
    return "size is " + std::to_string(data.size) + " but the text has " + std::to_string(len) +
           " characters";
  return "";
}

namespace {

// Walks a map text record by record. The form is told by the text itself:
// only the file form has line breaks. Files written in text mode on Windows
// end their lines in CR LF, which counts as a line break too.
class MapTextParser {
 public:
  explicit MapTextParser(const std::string& text)
      : begin_(text.data()),
        p_(begin_),
        end_(begin_ + text.size()),
        fileForm_(text.find('\n') != std::string::npos) {}

  bool Parse(MapSummary* summary) {
    summary_ = summary;
    long objects = 0;
    if (!Row("Quarn Map File") || !Row("Version 0.86") || !Row("Land;255;255;255") ||
        !Row("goodies.qtp") || !Count(&objects, "object count"))
      return false;
    for (long k = 0; k < objects; ++k)
      if (!Object(k)) return false;
    long closing = 0;
    if (!Count(&closing, "closing count")) return false;
    if (closing != 0) return Fail("the closing count is " + std::to_string(closing) + ", not 0");
    if (p_ != end_) return Fail("text continues after the closing count");
    return true;
  }

  std::string error() const { return error_; }

 private:
  bool Object(long k) {
    long number = 0, vertices = 0, polygons = 0;
    if (!Literal("terrain") || !Int(&number, "object number")) return false;
    if (number != k)
      return Fail("object " + std::to_string(k) + " is named terrain" + std::to_string(number));
    if (!Literal(";9;-1;1;-1;0;-") || !RecordEnd() || !Count(&vertices, "vertex count"))
      return false;
    for (long i = 0; i < vertices; ++i)
      if (!Vertex()) return false;
    if (!Count(&polygons, "polygon count")) return false;
    for (long i = 0; i < polygons; ++i)
      if (!Polygon(vertices)) return false;
    ++summary_->objects;
    return true;
  }

  bool Vertex() {
    long x = 0, y = 0, z = 0;
    if (!Int(&x, "x") || !Semicolon() || !Int(&y, "y") || !Semicolon() || !Int(&z, "z") ||
        !RecordEnd())
      return false;
    if (summary_->vertices++ == 0) {
      summary_->minX = summary_->maxX = x;
      summary_->minY = summary_->maxY = y;
      summary_->minZ = summary_->maxZ = z;
    }
    summary_->minX = std::min(summary_->minX, x);
    summary_->maxX = std::max(summary_->maxX, x);
    summary_->minY = std::min(summary_->minY, y);
    summary_->maxY = std::max(summary_->maxY, y);
    summary_->minZ = std::min(summary_->minZ, z);
    summary_->maxZ = std::max(summary_->maxZ, z);
    return true;
  }

  // "4;5;" four vertex indices of this object, eight texture coordinates,
  // each field ended by ";" in both forms.
  bool Polygon(long vertices) {
    if (!Literal("4;5;")) return false;
    for (int corner = 0; corner < 4; ++corner) {
      long index = 0;
      if (!Int(&index, "vertex index")) return false;
      if (index < 0 || index >= vertices)
        return Fail("vertex index " + std::to_string(index) + " is not one of the object's " +
                    std::to_string(vertices) + " vertices");
      if (!Semicolon()) return false;
    }
    for (int i = 0; i < 8; ++i)
      if (!TextureCoordinate() || !Semicolon()) return false;
    ++summary_->polygons;
    return true;
  }

  // "%13.4f": blanks to fill 13 characters, an optional sign, digits, a
  // point and exactly four decimals.
  bool TextureCoordinate() {
    const char* start = p_;
    while (p_ < end_ && *p_ == ' ') ++p_;
    const bool padded = p_ != start;
    if (p_ < end_ && *p_ == '-') ++p_;
    const char* digits = p_;
    while (p_ < end_ && IsDigit(*p_)) ++p_;
    bool ok = p_ != digits && p_ < end_ && *p_ == '.';
    if (ok) {
      ++p_;
      for (int i = 0; i < 4; ++i) ok = ok && p_ < end_ && IsDigit(*p_++);
    }
    const long width = p_ - start;
    if (!ok || (p_ < end_ && IsDigit(*p_)) || width < 13 || (padded && width != 13)) {
      p_ = start;
      return Fail("expected a texture coordinate written as %13.4f");
    }
    return true;
  }

  bool Row(const char* text) { return Literal(text) && RecordEnd(); }

  bool Count(long* value, const char* what) {
    if (!Int(value, what) || !RecordEnd()) return false;
    if (*value < 0) return Fail(std::string(what) + " is negative");
    return true;
  }

  bool Literal(const char* text) {
    const std::size_t n = std::strlen(text);
    if (static_cast<std::size_t>(end_ - p_) < n || std::memcmp(p_, text, n) != 0)
      return Fail("expected \"" + std::string(text) + "\"");
    p_ += n;
    return true;
  }

  // A "%d" field: an optional minus and one to ten digits, within int range.
  bool Int(long* value, const char* what) {
    const char* start = p_;
    bool negative = p_ < end_ && *p_ == '-';
    if (negative) ++p_;
    long long v = 0;
    int digits = 0;
    while (p_ < end_ && IsDigit(*p_) && digits <= 10) {
      v = v * 10 + (*p_++ - '0');
      ++digits;
    }
    if (negative) v = -v;
    if (digits == 0 || digits > 10 || v < -2147483648LL || v > 2147483647LL) {
      p_ = start;
      return Fail("expected the " + std::string(what) + " as a whole number");
    }
    *value = static_cast<long>(v);
    return true;
  }

  bool Semicolon() {
    if (p_ < end_ && *p_ == ';') {
      ++p_;
      return true;
    }
    return Fail("expected \";\"");
  }

  bool RecordEnd() {
    if (!fileForm_) return Semicolon();
    if (end_ - p_ >= 2 && p_[0] == '\r' && p_[1] == '\n')
      p_ += 2;
    else if (p_ < end_ && *p_ == '\n')
      ++p_;
    else
      return Fail("expected a line break");
    return true;
  }

  bool Fail(const std::string& what) {
    const long offset = p_ - begin_;
    error_ = what + " at byte " + std::to_string(offset);
    if (fileForm_) error_ += " (line " + std::to_string(1 + std::count(begin_, p_, '\n')) + ")";
    return false;
  }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  const char* begin_;
  const char* p_;
  const char* end_;
  bool fileForm_;
  MapSummary* summary_ = nullptr;
  std::string error_;
};

}  // namespace

bool ReadMapText(const std::string& text, MapSummary* summary, std::string* error) {
  *summary = MapSummary();
  MapTextParser parser(text);
  if (parser.Parse(summary)) return true;
  *error = parser.error();
  return false;
}

std::string FormatSummary(const MapSummary& s) {
  return "objects=" + std::to_string(s.objects) + " vertices=" + std::to_string(s.vertices) +
         " polygons=" + std::to_string(s.polygons) + " x=" + std::to_string(s.minX) + ".." +
         std::to_string(s.maxX) + " y=" + std::to_string(s.minY) + ".." + std::to_string(s.maxY) +
         " z=" + std::to_string(s.minZ) + ".." + std::to_string(s.maxZ);
}
