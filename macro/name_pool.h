// The name pool: texts of names and info strings behind 16-bit handles.
//
// Handle 0 is never valid. A handle stays valid until it is dropped; the text
// view it gives is valid until the next change of the pool. The pool's state
// file image is the handle heap's offset form: a 36-byte descriptor (record
// 15), the area of blocks {owner, capacity, length, bytes} with block sizes a
// multiple of 4 (record 3), and one word per handle (record 16): the offset
// of the block's length word, or the complemented byte offset of a table
// entry for a free handle or one without a block.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace namepool {

// Empties the pool. 0, or -1 when memory runs out.
int init(uint32_t area_bytes, uint32_t handles);
// A new handle holding a copy of `s`; 0 when the pool is full (65535 handles).
uint16_t put(std::string_view s);
// The text of a handle; empty for 0 or a handle without a block.
std::string_view get(uint16_t h);
// True when `h` is a handle in use.
bool live(uint16_t h);
// Releases a handle (0 is ignored).
void drop(uint16_t h);
void compact();
uint32_t handle_count();  // handles ever handed out + 1 (the high-water mark)

std::vector<uint8_t> descriptor_record();
std::vector<uint8_t> area_record();
std::vector<uint8_t> table_record();
// Rebuilds the pool from its records; false (pool emptied) when any size,
// offset or free link does not fit.
bool restore(std::span<const uint8_t> rec15, std::span<const uint8_t> rec3, std::span<const uint8_t> rec16);

}  // namespace namepool
