// Raw property fields of an object's block, for the control procedures:
// read and written by the property table's word, mask and shift, without the
// dispatch's checks or side effects.
#pragma once

#include <cstdint>

#include "forms/prop_table.h"
#include "text/buffer.h"

// The field as a number: a whole word is signed, a narrower field unsigned.
inline int32_t ctl_prop(const WindowObject* o, uint32_t id) {
  const PropertyRecord& r = prop_record(id);
  if (!o || r.word == kPropComputed || r.mask == 0) return 0;
  const uint32_t w = o->props.words[r.word];
  if (r.mask == 0xffffffffu) return static_cast<int32_t>(w);
  return static_cast<int32_t>((w & r.mask) >> r.shift);
}
inline void ctl_prop_set(WindowObject* o, uint32_t id, int32_t v) {
  const PropertyRecord& r = prop_record(id);
  if (!o || r.word == kPropComputed || r.mask == 0) return;
  uint32_t& w = o->props.words[r.word];
  w = (w & ~r.mask) | ((static_cast<uint32_t>(v) << r.shift) & r.mask);
}
