#include "macro/name_pool.h"

#include <string>

#include "base/le.h"

namespace namepool {
namespace {

enum class Slot : uint8_t { Free, NoBlock, Block };

struct Pool {
    std::vector<std::string> text; // index = handle; [0] unused
    std::vector<Slot> slot;
    std::vector<uint16_t> next_free; // free link of a free handle (0 ends)
    uint16_t free_head = 0;          // most recently freed handle, 0 when none
    uint32_t capacity = 0;           // handle entries reserved (descriptor field)
    uint32_t area_bytes = 0;         // area size asked for (descriptor field)
};
Pool g;

constexpr uint32_t kMaxHandles = 65535;
constexpr uint32_t kBlockHeader = 12;

uint32_t block_capacity(uint32_t len)
{
    // The block (12 + capacity) is a multiple of 4.
    return (len + 3u) & ~3u;
}

} // namespace

int init(uint32_t area_bytes, uint32_t handles)
{
    g = Pool{};
    g.text.resize(1);
    g.slot.assign(1, Slot::NoBlock);
    g.next_free.assign(1, 0);
    g.capacity = handles < 1 ? 1 : handles;
    g.area_bytes = area_bytes;
    return 0;
}

uint16_t put(std::string_view s)
{
    uint16_t h;
    if (g.free_head) {
        h = g.free_head;
        g.free_head = g.next_free[h];
    } else {
        if (g.text.size() > kMaxHandles) return 0; // table full?
        h = uint16_t(g.text.size());
        g.text.emplace_back();
        g.slot.push_back(Slot::Free);
        g.next_free.push_back(0);
        while (g.capacity < g.text.size()) // grow the reserved table as the heap does
            g.capacity = g.capacity <= 30 ? g.capacity * 3 : g.capacity + g.capacity / 4;
    }
    g.text[h].assign(s);
    g.slot[h] = Slot::Block;
    g.next_free[h] = 0;
    return h;
}

std::string_view get(uint16_t h)
{
    if (h == 0 || h >= g.text.size() || g.slot[h] != Slot::Block) return {};
    return g.text[h];
}

bool live(uint16_t h) { return h != 0 && h < g.text.size() && g.slot[h] != Slot::Free; }

void drop(uint16_t h)
{
    if (!live(h)) return;
    g.text[h].clear();
    g.text[h].shrink_to_fit();
    g.slot[h] = Slot::Free;
    g.next_free[h] = g.free_head;
    g.free_head = h;
}

void compact() {}

uint32_t handle_count() { return uint32_t(g.text.size()); }

// ---- state-file images ------------------------------------------------------

std::vector<uint8_t> area_record()
{
    std::vector<uint8_t> a;
    for (size_t h = 1; h < g.text.size(); ++h) {
        if (g.slot[h] != Slot::Block) continue;
        const std::string& s = g.text[h];
        uint32_t cap = block_capacity(uint32_t(s.size()));
        le::append_u32(a, 0);
        le::append_u32(a, cap);
        le::append_u32(a, uint32_t(s.size()));
        a.insert(a.end(), s.begin(), s.end());
        a.resize(a.size() + (cap - s.size()), 0);
    }
    return a;
}

std::vector<uint8_t> table_record()
{
    std::vector<uint8_t> t;
    uint32_t off = 0;
    for (size_t h = 0; h < g.text.size(); ++h) {
        uint32_t v;
        if (h == 0 || g.slot[h] == Slot::NoBlock)
            v = ~0u; // refers to entry 0
        else if (g.slot[h] == Slot::Free)
            v = ~(uint32_t(g.next_free[h]) * 4u);
        else {
            v = off + 8; // the block's length word
            off += kBlockHeader + block_capacity(uint32_t(g.text[h].size()));
        }
        le::append_u32(t, v);
    }
    return t;
}

std::vector<uint8_t> descriptor_record()
{
    uint32_t top = uint32_t(area_record().size());
    std::vector<uint8_t> d;
    le::append_u32(d, 0);                          // table (meaningless on disk)
    le::append_u32(d, uint32_t(g.free_head) * 4u); // free head, offset into the table
    le::append_u32(d, uint32_t(g.text.size()));    // count
    le::append_u32(d, g.capacity);
    le::append_u32(d, 0);                          // base
    le::append_u32(d, top);                        // top, from base
    le::append_u32(d, top > g.area_bytes ? top : g.area_bytes); // end, from base
    le::append_u32(d, 0);
    le::append_u32(d, 0);
    return d;
}

bool restore(std::span<const uint8_t> rec15, std::span<const uint8_t> rec3,
             std::span<const uint8_t> rec16)
{
    init(kMaxHandles, 1);
    if (rec15.size() != 36) return false;
    const uint8_t* d = rec15.data();
    uint32_t free_off = le::get_u32(d + 4), count = le::get_u32(d + 8);
    uint32_t capacity = le::get_u32(d + 12), top = le::get_u32(d + 20), end = le::get_u32(d + 24);
    if (count < 1 || count > kMaxHandles + 1 || capacity < count) return false;
    if (rec16.size() != size_t(count) * 4 || top != rec3.size() || end < top) return false;
    if (free_off % 4 || free_off / 4 >= count) return false;

    Pool p;
    p.text.resize(count);
    p.slot.assign(count, Slot::NoBlock);
    p.next_free.assign(count, 0);
    p.capacity = capacity;
    p.area_bytes = end;
    std::vector<uint32_t> link(count, 0);
    for (uint32_t h = 0; h < count; ++h) {
        uint32_t v = le::get_u32(rec16.data() + 4 * h);
        if (v & 0x80000000u) { // refers into the table
            uint32_t e = ~v;
            if (e % 4 || e / 4 >= count) return false;
            link[h] = e / 4;
            continue;
        }
        if (h == 0) return false; // entry 0 always refers to itself
        // v is the offset of the length word; the block starts 8 bytes before.
        if (v < 8 || (v - 8) % 4 || uint64_t(v) + 4 > top) return false;
        uint32_t cap = le::get_u32(rec3.data() + v - 4);
        uint32_t len = le::get_u32(rec3.data() + v);
        if (len > cap || uint64_t(v) + 4 + cap > top) return false;
        p.slot[h] = Slot::Block;
        p.text[h].assign(reinterpret_cast<const char*>(rec3.data() + v + 4), len);
    }
    if (link[0] != 0) return false;
    // Walk the free list; everything on it is free, the rest without a block is
    // a handle in use that has no text yet.
    uint32_t h = free_off / 4;
    p.free_head = uint16_t(h);
    uint32_t steps = 0;
    while (h != 0) {
        if (p.slot[h] != Slot::NoBlock || ++steps > count) return false; // block or cycle?
        p.slot[h] = Slot::Free;
        p.next_free[h] = uint16_t(link[h]);
        h = link[h];
    }
    g = std::move(p);
    return true;
}

} // namespace namepool
