#include "macro/rle.h"

namespace {

// Writes one count header; returns its length.
uint32_t put_header(uint8_t* d, uint32_t count, bool repeat) {
  uint8_t first = uint8_t(count & 0x3F) | (repeat ? 0x40 : 0);
  count >>= 6;
  uint32_t n = 1;
  if (count) first |= 0x80;
  if (d) d[0] = first;
  while (count) {
    uint8_t b = uint8_t(count & 0x7F);
    count >>= 7;
    if (count) b |= 0x80;
    if (d) d[n] = b;
    ++n;
  }
  return n;
}

uint32_t put_literal(uint8_t* d, const uint8_t* p, uint32_t n) {
  if (n == 0) return 0;
  uint32_t h = put_header(d, n, false);
  if (d)
    for (uint32_t i = 0; i < n; ++i) d[h + i] = p[i];
  return h + n;
}

uint32_t put_repeat(uint8_t* d, uint8_t byte, uint32_t n) {
  uint32_t h = put_header(d, n, true);
  if (d) d[h] = byte;
  return h + 1;
}

}  // namespace

uint32_t rle_compress(uint8_t* dest, std::span<const uint8_t> src) {
  const uint8_t* p = src.data();
  const uint32_t n = uint32_t(src.size());
  uint32_t out = 0;
  uint32_t lit_start = 0;  // first byte not yet written
  uint32_t i = 0;
  while (i < n) {
    uint32_t run = 1;
    while (i + run < n && p[i + run] == p[i]) ++run;
    if (run >= 3) {
      out += put_literal(dest ? dest + out : nullptr, p + lit_start, i - lit_start);
      out += put_repeat(dest ? dest + out : nullptr, p[i], run);
      lit_start = i + run;
    }
    i += run;
  }
  out += put_literal(dest ? dest + out : nullptr, p + lit_start, n - lit_start);
  return out;
}

int64_t rle_expand(uint8_t* dest, uint32_t cap, std::span<const uint8_t> src) {
  const uint8_t* p = src.data();
  const size_t n = src.size();
  size_t i = 0;
  uint64_t out = 0;
  while (i < n) {
    uint8_t first = p[i++];
    bool repeat = first & 0x40;
    uint64_t count = first & 0x3F;
    unsigned shift = 6;
    bool more = first & 0x80;
    while (more) {
      if (i >= n || shift > 31) return -1;  // header cut short or count too wide?
      uint8_t b = p[i++];
      count |= uint64_t(b & 0x7F) << shift;
      shift += 7;
      more = b & 0x80;
    }
    if (count > 0xFFFFFFFFu) return -1;
    if (repeat) {
      if (i >= n) return -1;
      uint8_t v = p[i++];
      if (dest) {
        if (out + count > cap) return -1;
        for (uint64_t k = 0; k < count; ++k) dest[out + k] = v;
      }
    } else {
      if (n - i < count) return -1;
      if (dest) {
        if (out + count > cap) return -1;
        for (uint64_t k = 0; k < count; ++k) dest[out + k] = p[i + k];
      }
      i += size_t(count);
    }
    out += count;
    if (out > 0xFFFFFFFFu) return -1;
  }
  return int64_t(out);
}
