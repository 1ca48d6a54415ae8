// A tiny writer of bitmap files for tests and fuzz seeds: every header
// field can be set, including the wrong values a hostile file would carry.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace bmptest {

struct BmpSpec {
  uint32_t header_size = 40;
  int32_t width = 4, height = 2;
  uint16_t planes = 1, bpp = 8;
  uint32_t compression = 0;
  uint32_t image_size = 0;
  uint32_t colours_used = 0;
  int32_t table_entries = -1;  // -1: the full table for bpp
  // The pixel at (x, y from the top): a palette index, or 0xRRGGBB.
  std::function<uint32_t(int32_t, int32_t)> pixel = [](int32_t x, int32_t y) {
    return static_cast<uint32_t>(x + y) & 1;
  };
  // The colour of palette entry i (0xRRGGBB).
  std::function<uint32_t(uint32_t)> palette = [](uint32_t i) { return i * 0x010203u & 0xFFFFFF; };
  int32_t pixel_bytes = -1;  // -1: as the rows need
  int32_t offset_delta = 0;  // added to the pixel data offset
};

inline void put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

inline std::vector<uint8_t> write_bmp(const BmpSpec& s) {
  int32_t entries = s.table_entries;
  if (entries < 0) entries = s.bpp == 1 ? 2 : s.bpp == 4 ? 16 : s.bpp == 8 ? 256 : 0;
  int64_t w = s.width < 0 ? -static_cast<int64_t>(s.width) : s.width;
  int64_t h = s.height < 0 ? -static_cast<int64_t>(s.height) : s.height;
  int64_t row = ((w * s.bpp + 31) / 32) * 4;
  std::vector<uint8_t> rows;
  if (s.compression == 0 && (s.bpp == 1 || s.bpp == 4 || s.bpp == 8 || s.bpp == 24) && w < 4096 && h < 4096) {
    rows.assign(static_cast<size_t>(row * h), 0);
    for (int64_t fy = 0; fy < h; ++fy) {
      int64_t y = h - 1 - fy;  // stored bottom-up
      uint8_t* r = rows.data() + fy * row;
      for (int64_t x = 0; x < w; ++x) {
        uint32_t v = s.pixel(static_cast<int32_t>(x), static_cast<int32_t>(y));
        switch (s.bpp) {
          case 1:
            r[x / 8] |= static_cast<uint8_t>((v & 1) << (7 - x % 8));
            break;
          case 4:
            r[x / 2] |= static_cast<uint8_t>((v & 15) << (x % 2 ? 0 : 4));
            break;
          case 8:
            r[x] = static_cast<uint8_t>(v);
            break;
          default:
            r[3 * x] = static_cast<uint8_t>(v);
            r[3 * x + 1] = static_cast<uint8_t>(v >> 8);
            r[3 * x + 2] = static_cast<uint8_t>(v >> 16);
        }
      }
    }
  }
  if (s.pixel_bytes >= 0) rows.resize(static_cast<size_t>(s.pixel_bytes), 0x5A);
  uint32_t offset = static_cast<uint32_t>(14 + s.header_size + 4 * entries + s.offset_delta);
  std::vector<uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  put32(v, static_cast<uint32_t>(offset + rows.size()));
  put32(v, 0);
  put32(v, offset);
  put32(v, s.header_size);
  if (s.header_size == 12) {
    put16(v, static_cast<uint32_t>(s.width));
    put16(v, static_cast<uint32_t>(s.height));
    put16(v, s.planes);
    put16(v, s.bpp);
  } else {
    put32(v, static_cast<uint32_t>(s.width));
    put32(v, static_cast<uint32_t>(s.height));
    put16(v, s.planes);
    put16(v, s.bpp);
    put32(v, s.compression);
    put32(v, s.image_size);
    put32(v, 2835);
    put32(v, 2835);
    put32(v, s.colours_used);
    put32(v, 0);
    for (uint32_t i = 40; i < s.header_size; ++i) v.push_back(0);
  }
  for (int32_t i = 0; i < entries; ++i) {
    uint32_t c = s.palette(static_cast<uint32_t>(i));
    v.push_back(static_cast<uint8_t>(c));
    v.push_back(static_cast<uint8_t>(c >> 8));
    v.push_back(static_cast<uint8_t>(c >> 16));
    v.push_back(0);
  }
  for (int32_t i = 0; i < s.offset_delta; ++i) v.push_back(0);
  v.insert(v.end(), rows.begin(), rows.end());
  return v;
}

}  // namespace bmptest
