#include "export/number_format.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace numfmt {
namespace {

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Digits of v, most significant first, written so that they end at end.
char* DigitsBackwards(char* end, std::uint64_t v) {
  while (v >= 100) {
    unsigned pair = static_cast<unsigned>(v % 100) * 2;
    v /= 100;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  }
  if (v >= 10) {
    unsigned pair = static_cast<unsigned>(v) * 2;
    *--end = kDigitPairs[pair + 1];
    *--end = kDigitPairs[pair];
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

char* WriteUnsigned(char* out, std::uint64_t v, bool negative) {
  char digits[24];
  char* end = digits + sizeof(digits);
  char* begin = DigitsBackwards(end, v);
  if (negative) *--begin = '-';
  std::size_t n = static_cast<std::size_t>(end - begin);
  std::memcpy(out, begin, n);
  return out + n;
}

// Rounds a * 10000 to the nearest integer, ties to even, from the exact
// product. The product is split into hi + lo without error (Dekker, "A
// floating-point technique for extending the available precision", 1971);
// 10000 has only 14 significant bits, so it needs no splitting itself.
std::uint64_t ScaledRounded(double a) {
  const double hi = a * 10000.0;
  const double c = 134217729.0 * a;  // 2^27 + 1
  const double aHigh = c - (c - a);
  const double aLow = a - aHigh;
  const double lo = (aHigh * 10000.0 - hi) + aLow * 10000.0;
  // Below 2^52, hi - floor(hi) is exact and a multiple of hi's spacing, so lo
  // (at most half that spacing) only decides when hi sits exactly on a half.
  const double whole = std::floor(hi);
  const double fraction = hi - whole;
  std::uint64_t n = static_cast<std::uint64_t>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && (lo > 0 || (lo == 0 && (n & 1))))) ++n;
  return n;
}

}  // namespace

char* FormatInt(char* out, long long value) {
  bool negative = value < 0;
  std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  return WriteUnsigned(out, magnitude, negative);
}

char* FormatFixed13_4(char* out, double value) {
  const double a = std::fabs(value);
  // The exact rounding below needs a * 10000 under 2^52; larger values,
  // infinities and NaN never occur in a map text, so printf does them.
  if (!(a < 4e11)) {
    char text[kMaxFixedChars + 1];
    int n = std::snprintf(text, sizeof(text), "%13.4f", value);
    std::memcpy(out, text, static_cast<std::size_t>(n));
    return out + n;
  }
  const std::uint64_t scaled = ScaledRounded(a);
  char text[32];
  char* end = text + sizeof(text);
  const unsigned fraction = static_cast<unsigned>(scaled % 10000);
  end[-4] = kDigitPairs[fraction / 100 * 2];
  end[-3] = kDigitPairs[fraction / 100 * 2 + 1];
  end[-2] = kDigitPairs[fraction % 100 * 2];
  end[-1] = kDigitPairs[fraction % 100 * 2 + 1];
  end[-5] = '.';
  char* begin = DigitsBackwards(end - 5, scaled / 10000);
  if (std::signbit(value)) *--begin = '-';
  const int length = static_cast<int>(end - begin);
  for (int pad = length; pad < 13; ++pad) *out++ = ' ';
  std::memcpy(out, begin, static_cast<std::size_t>(length));
  return out + length;
}

}  // namespace numfmt
