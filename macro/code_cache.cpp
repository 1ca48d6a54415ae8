// Code cache: the LRU ring of resident data blocks and on-demand loading
// from the open state file.
#include "macro/code_cache.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/fd.h"
#include "macro/module.h"
#include "macro/names.h"
#include "macro/rle.h"

bool (*cache_module_in_use)(uint32_t index) = nullptr;

namespace {

struct Slot {
  uint8_t* block = nullptr;
  uint32_t file_offset = 0;
  uint32_t prev = 0, next = 0;  // ring links by names index
};

struct Cache {
  std::vector<Slot> slots;
  uint32_t head = 0;  // most recently used; 0 = empty ring
  uint64_t resident_total = 0;
  int64_t limit = -1;
  UniqueFd fd;  // the state file the blocks are read from
  std::string state_name;
  uint64_t loads = 0;
  Cache() = default;
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;
  // The blocks are owned here, also at the end of the process.
  ~Cache() { release(); }
  void release() {
    for (Slot& s : slots) std::free(s.block);
    slots.clear();
    fd.reset();
    head = 0;
    resident_total = 0;
  }
};
Cache c;

Slot& slot(uint32_t index) {
  if (c.slots.size() <= index) c.slots.resize(size_t(index) + 1);
  return c.slots[index];
}

bool counted(const NameEntry& e) { return !(e.state & (NS_LOCKED | NS_STARTUP)); }

void ring_remove(uint32_t index) {
  Slot& s = slot(index);
  if (s.next == index) {
    c.head = 0;
  } else {
    slot(s.prev).next = s.next;
    slot(s.next).prev = s.prev;
    if (c.head == index) c.head = s.next;
  }
  s.prev = s.next = 0;
}

void ring_push_front(uint32_t index) {
  Slot& s = slot(index);
  if (c.head == 0) {
    s.prev = s.next = index;
  } else {
    uint32_t tail = slot(c.head).prev;
    s.next = c.head;
    s.prev = tail;
    slot(c.head).prev = index;
    slot(tail).next = index;
  }
  c.head = index;
}

void touch(uint32_t index) {
  if (c.head == index) return;
  ring_remove(index);
  ring_push_front(index);
}

// Reads exactly n bytes at `offset` of the state file.
bool read_at(uint32_t offset, uint8_t* dest, uint32_t n) {
  return c.fd && fd_pread_all(c.fd.get(), dest, n, offset) == int64_t(n);
}

// Drops unlocked blocks, least recently used first, until under the limit.
void evict_for_room() {
  if (c.limit < 0 || c.head == 0) return;
  uint32_t i = slot(c.head).prev;  // least recently used
  while (c.head && int64_t(c.resident_total) > c.limit) {
    uint32_t prev = slot(i).prev;
    bool was_head = (i == c.head);
    NameEntry* e = name_entry(i);
    if (e && counted(*e)) {
      bool droppable = (e->flags & (NF_TEMPLATE | NF_PICTURE | NF_EVENT_TABLE)) ||
                       ((e->flags & NF_MODULE) && !(cache_module_in_use && cache_module_in_use(i)));
      if (droppable) cache_evict(i);
    }
    if (was_head) break;
    i = prev;
  }
}

}  // namespace

void cache_reset() {
  c.release();  // the limit stays: start-up sets it before the table is set up
  c.state_name.clear();
  c.loads = 0;
}

uint8_t* name_block(uint32_t index) {
  NameEntry* e = name_entry(index);
  if (!e || !(e->state & NS_RESIDENT) || index >= c.slots.size()) return nullptr;
  return c.slots[index].block;
}

int name_data_alloc(uint8_t** out, uint32_t n) {
  c.resident_total += n;
  evict_for_room();
  if (out) {
    *out = static_cast<uint8_t*>(std::malloc(n ? n : 1));
    if (!*out) {
      c.resident_total -= n;
      return ERR_INTERPRETER_OUT_OF_MEMORY;
    }
  }
  c.resident_total -= n;  // cache_register counts it again when it is unlocked
  return 0;
}

void name_data_block_free(uint8_t* block) { std::free(block); }

void cache_register(uint32_t index, uint8_t* block, uint32_t file_offset, uint32_t size, uint32_t stored,
                    uint32_t state) {
  NameEntry* e = name_entry(index);
  if (!e) {
    std::free(block);
    return;
  }
  if (e->state & NS_RESIDENT) name_data_free(index);
  Slot& s = slot(index);
  s.block = block;
  s.file_offset = file_offset;
  e->size = size;
  e->stored = stored;
  e->state = state | NS_RESIDENT;
  e->data = 0;
  ring_push_front(index);
  if (counted(*e)) c.resident_total += size;
}

int name_load_data(uint32_t index) {
  NameEntry* e = name_entry(index);
  if (!e || !(e->flags & NF_HAS_DATA)) return ERR_INVALID_NAME_INDEX;
  if (e->state & NS_RESIDENT) {
    touch(index);
    return 0;
  }
  bool encoded = e->flags & (NF_EVENT_TABLE | NF_TEMPLATE);
  uint32_t offset = e->data, size = e->size, stored = e->stored;
  std::vector<uint8_t> staging;
  if (encoded) {
    try {
      staging.resize(stored);
    } catch (...) {
      return ERR_INSUFFICIENT_MEMORY;
    }
  }
  uint8_t* block = nullptr;
  if (name_data_alloc(&block, size) != 0) return ERR_INTERPRETER_OUT_OF_MEMORY;
  e = name_entry(index);  // eviction never deletes entries, but stay safe
  ++c.loads;
  if (encoded) {
    if (!read_at(offset, staging.data(), stored)) {
      std::free(block);
      return ERR_READING_FILE;
    }
    int64_t n = rle_expand(block, size, staging);
    if (n != int64_t(size)) {  // corrupt record?
      std::free(block);
      return ERR_INCORRECT_VERSION;
    }
  } else if (!read_at(offset, block, size)) {
    std::free(block);
    return ERR_READING_FILE;
  }
  if ((e->flags & NF_MODULE) && module_verify({block, size}, {}, true) != 0) {
    std::free(block);
    return ERR_INCORRECT_VERSION;
  }
  uint32_t state = e->state;
  cache_register(index, block, offset, size, stored, state);
  return 0;
}

void name_pin_data(uint32_t index) {
  NameEntry* e = name_entry(index);
  if (!e || !(e->state & NS_RESIDENT)) return;
  if (counted(*e)) c.resident_total -= e->size;
  e->state |= NS_LOCKED;
  slot(index).file_offset = 0;
}

void cache_unlock(uint32_t index) {
  NameEntry* e = name_entry(index);
  if (!e || !(e->state & NS_RESIDENT) || !(e->state & NS_LOCKED) || (e->state & NS_STARTUP)) return;
  e->state &= ~NS_LOCKED;
  c.resident_total += e->size;
}

void name_data_replace(uint32_t index, uint8_t* block, uint32_t size) {
  NameEntry* e = name_entry(index);
  if (!e) {
    std::free(block);
    return;
  }
  uint32_t keep = e->state & (NS_HAS_INIT | NS_HAS_MAIN | NS_STARTUP);
  name_data_free(index);
  cache_register(index, block, 0, size, 0, keep | NS_LOCKED);
}

void name_data_free(uint32_t index) {
  NameEntry* e = name_entry(index);
  if (!e) return;
  if (e->state & NS_RESIDENT) {
    if (counted(*e)) c.resident_total -= e->size;
    ring_remove(index);
    std::free(slot(index).block);
    slot(index).block = nullptr;
  }
  slot(index).file_offset = 0;
  e->state = 0;
  e->data = 0;
}

void cache_evict(uint32_t index) {
  NameEntry* e = name_entry(index);
  if (!e || !(e->state & NS_RESIDENT)) return;
  Slot& s = slot(index);
  if (counted(*e)) c.resident_total -= e->size;
  ring_remove(index);
  std::free(s.block);
  s.block = nullptr;
  e->data = s.file_offset;
  e->state &= ~NS_RESIDENT;
}

void cache_swap(uint32_t a, uint32_t b) {
  NameEntry* ea = name_entry(a);
  NameEntry* eb = name_entry(b);
  if (!ea || !eb) return;
  bool ra = ea->state & NS_RESIDENT, rb = eb->state & NS_RESIDENT;
  if (ra) ring_remove(a);
  if (rb) ring_remove(b);
  std::swap(slot(a).block, slot(b).block);
  std::swap(slot(a).file_offset, slot(b).file_offset);
  std::swap(ea->size, eb->size);
  std::swap(ea->stored, eb->stored);
  std::swap(ea->data, eb->data);
  std::swap(ea->state, eb->state);
  if (rb) ring_push_front(a);
  if (ra) ring_push_front(b);
}

uint32_t cache_file_offset(uint32_t index) { return index < c.slots.size() ? c.slots[index].file_offset : 0; }
void cache_set_file_offset(uint32_t index, uint32_t offset) { slot(index).file_offset = offset; }

void cache_set_limit(int64_t limit) { c.limit = limit; }
int64_t cache_limit() { return c.limit; }
uint64_t cache_resident_total() { return c.resident_total; }

void cache_set_state_file(int fd, const std::string& absolute_name) {
  if (c.fd.get() != fd) c.fd.reset(fd);
  c.state_name = absolute_name;
}
int cache_state_fd() { return c.fd.get(); }
const std::string& cache_state_name() { return c.state_name; }
uint64_t cache_load_count() { return c.loads; }

bool cache_check() {
  uint64_t total = 0;
  size_t on_ring = 0;
  if (c.head) {
    uint32_t i = c.head;
    do {
      NameEntry* e = name_entry(i);
      if (!e || !(e->state & NS_RESIDENT) || !c.slots[i].block) return false;
      if (slot(slot(i).next).prev != i) return false;
      if (counted(*e)) total += e->size;
      if (++on_ring > c.slots.size()) return false;
      i = slot(i).next;
    } while (i != c.head);
  }
  size_t resident = 0;
  for (int i = 1; i < name_count(); ++i) {
    NameEntry* e = name_entry(uint32_t(i));
    if (e && (e->state & NS_RESIDENT) && (e->flags & NF_HAS_DATA)) ++resident;
  }
  return resident == on_ring && total == c.resident_total;
}
