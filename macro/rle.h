// Run-length codec for the stored form of event tables and form templates.
//
// An encoded stream is a sequence of items. Each item starts with a count
// header: the first byte carries bit 7 (another header byte follows), bit 6
// (repeat item) and the count's low 6 bits; further bytes carry 7 bits each,
// least significant group first, bit 7 meaning "more". A literal item is
// followed by `count` bytes; a repeat item by one byte that stands `count`
// times. Runs of 3 or more equal bytes become repeat items.
#pragma once

#include <cstdint>
#include <span>

// Encodes `src` into `dest` (or only counts with a null dest). Returns the
// encoded length. `dest`, when given, must hold rle_compress(nullptr, src).
uint32_t rle_compress(uint8_t* dest, std::span<const uint8_t> src);

// Decodes `src` into `dest`, writing at most `cap` bytes (ignored with a null
// dest, which only counts). Returns the decoded length, or -1 when the input
// is malformed (a header or item cut short, a count past 2^32) or the output
// would pass `cap`: a hostile record can never write past the block.
int64_t rle_expand(uint8_t* dest, uint32_t cap, std::span<const uint8_t> src);
