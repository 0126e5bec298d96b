// The one piece of OpenEXR's half type that FreeImage's TIFF reader uses:
// a 16-bit IEEE float set from its bits and read as a float.
#pragma once
#include <cstdint>
#include <cstring>

class half {
 public:
  void setBits(unsigned short bits) { bits_ = bits; }
  unsigned short bits() const { return bits_; }
  operator float() const {
    uint32_t sign = uint32_t(bits_ & 0x8000u) << 16;
    uint32_t exp = (bits_ >> 10) & 0x1f;
    uint32_t man = bits_ & 0x3ffu;
    uint32_t out;
    if (exp == 0) {
      if (man == 0) {
        out = sign;
      } else {  // subnormal: normalise
        exp = 127 - 15 + 1;
        while (!(man & 0x400u)) {
          man <<= 1;
          --exp;
        }
        out = sign | (exp << 23) | ((man & 0x3ffu) << 13);
      }
    } else if (exp == 31) {
      out = sign | 0x7f800000u | (man << 13);
    } else {
      out = sign | ((exp + 127 - 15) << 23) | (man << 13);
    }
    float f;
    std::memcpy(&f, &out, sizeof f);
    return f;
  }

 private:
  unsigned short bits_ = 0;
};
