// The property block of a window object, and of every control record of a
// stored form template or menu resource.
//
// 120 bytes, the layout the templates store: the object type, three link
// words that only stored templates use, then 28 property words. Which bits of
// which word hold which property is the forms layer's property table; the
// block itself is plain data.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int kPropWords = 28;

struct PropertyBlock {
  uint16_t type;   // object type 0..19, the same as the object's own
  uint16_t next;   // next-sibling control number (templates only)
  uint16_t child;  // first-child control number, 0 none (templates only)
  uint16_t link3;  // a third template link word
  uint32_t words[kPropWords];
};
static_assert(sizeof(PropertyBlock) == 120);
static_assert(offsetof(PropertyBlock, words) == 8);
