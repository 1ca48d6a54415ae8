// Little-endian reads and writes of fixed-width fields.
//
// Every on-disk record (state file, modules, event tables, ...) goes through
// these helpers rather than a memcpy of a struct, so the byte layout is
// explicit and independent of the host. Readers that take a std::span check
// the bounds themselves; the raw-pointer forms assume the caller did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace le {

inline uint16_t get_u16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline int16_t get_i16(const uint8_t* p) { return int16_t(get_u16(p)); }
inline uint32_t get_u32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t get_i32(const uint8_t* p) { return int32_t(get_u32(p)); }

inline void put_u16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void put_i16(uint8_t* p, int16_t v) { put_u16(p, uint16_t(v)); }
inline void put_u32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}
inline void put_i32(uint8_t* p, int32_t v) { put_u32(p, uint32_t(v)); }

// Bounds-checked reads: false when [off, off + width) is not inside `s`.
inline bool read_u16(std::span<const uint8_t> s, size_t off, uint16_t& out) {
  if (off > s.size() || s.size() - off < 2) return false;
  out = get_u16(s.data() + off);
  return true;
}
inline bool read_u32(std::span<const uint8_t> s, size_t off, uint32_t& out) {
  if (off > s.size() || s.size() - off < 4) return false;
  out = get_u32(s.data() + off);
  return true;
}

// Appending writers for building records in a byte vector-like container.
template <class Bytes>
void append_u8(Bytes& b, uint8_t v) {
  b.push_back(v);
}
template <class Bytes>
void append_u16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
template <class Bytes>
void append_u32(Bytes& b, uint32_t v) {
  append_u16(b, uint16_t(v));
  append_u16(b, uint16_t(v >> 16));
}

}  // namespace le
