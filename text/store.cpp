// The text store: block table, page pool with LRU and reserve, spill file.
//
// Pages are allocated with their in-memory header in front of the image; the
// image alone is what the spill file holds, one fixed-size slot per page.
// Free slots are chained through their first 8 bytes. Clean pages that came
// from a source file are never written: they are dropped and read again.

#include "text/store.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/file_io.h"
#include "base/mem.h"
#include "base/mem_port.h"
#include "base/os.h"
#include "text/source_check.h"
#include "text/ui_port.h"

namespace {

// The page text sizes the store chooses from, smallest first.
constexpr int kPageSizes[] = {8192, 16384, 32768, 53248};
constexpr int kMinFileMb = 2;
constexpr int kMaxFileMb = 900;
constexpr int32_t kMaxTableEntries = kLazyBlockBase - 1;
constexpr int64_t kMaxLazyEntries = int64_t{INT32_MAX} - kLazyBlockBase + 1;
constexpr int64_t kLazyFirstMap = 1 << 18;  // entries; address space only until touched
// A run whose made entries fill at least this much gives their pages back
// to the system when it goes.
constexpr size_t kLazyGiveBackBytes = 64 << 10;

// One lazy load's entries: numbers kLazyBlockBase + start .. + n - 1.
struct LazyRun {
  int64_t start;
  int32_t n;
  int32_t live;        // entries not freed yet; the run goes at 0
  int64_t made_count;  // entries made so far
  int64_t size;        // what the load was given
  int64_t lead;
  int64_t per;
  uint64_t* made;  // one bit per entry made
};

struct Store {
  BlockEntry* table = nullptr;
  BlockEntry* lazy = nullptr;      // mapped from the system, zero until touched
  int64_t lazy_cap = 0;            // entries mapped
  std::vector<LazyRun> lazy_runs;  // by start
  int64_t lazy_total = 0;          // entries of the runs held
  int64_t lazy_made = 0;
  int32_t cap = 0;
  int32_t high = -1;
  int32_t free_head = -1;
  int64_t free_count = 0;
  int S = 8192;
  int A = 10060;
  int image = 10040;
  int page_limit = -1;
  int pages = 0;
  Page* reserve = nullptr;
  Page* lru = nullptr;  // most recently used; lru->lru_prev is the least
  int lru_n = 0;
  int spill_fd = -1;
  std::string spill_dir;
  std::string spill_path;
  int64_t spill_end = 0;
  int64_t spill_free = -1;
  int64_t spill_limit = kSpillSoftLimit;
  void* work_sel = nullptr;
  StoreLoadState load{};
  StoreUndoEvictHook undo_hook = nullptr;
  StoreCloseHook close_hook = nullptr;
};

Store g;
// Keeps the inline accessors' copies in step with the store.
void publish() {
  store_detail::blocks = g.table;
  store_detail::lazy = g.lazy;
  store_detail::image_size = g.image;
}

int64_t lazy_entries() { return g.lazy_total; }

// The run holding lazy index i, or lazy_runs.size().
size_t lazy_run_of(int64_t i) {
  auto it = std::upper_bound(g.lazy_runs.begin(), g.lazy_runs.end(), i,
                             [](int64_t v, const LazyRun& r) { return v < r.start; });
  if (it == g.lazy_runs.begin()) return g.lazy_runs.size();
  --it;
  return i < it->start + it->n ? static_cast<size_t>(it - g.lazy_runs.begin()) : g.lazy_runs.size();
}

// The first entry at or after k (run-relative) that was made; run.n if none.
int64_t lazy_next_made(const LazyRun& run, int64_t k) {
  const int64_t words = (static_cast<int64_t>(run.n) + 63) / 64;
  int64_t w = k >> 6;
  if (w >= words) return run.n;
  uint64_t bits = run.made[w] & (~uint64_t{0} << (k & 63));
  while (!bits) {
    if (++w >= words) return run.n;
    bits = run.made[w];
  }
  const int64_t m = w * 64 + __builtin_ctzll(bits);
  return m < run.n ? m : run.n;
}

// Maps room for lazy indices below `end`. The mapping grows in place or
// moves (mremap keeps what was written); new parts read as zero.
int32_t lazy_map(int64_t end) {
  if (end <= g.lazy_cap) return 0;
  if (end > kMaxLazyEntries) return ERR_NOT_ENOUGH_MEMORY;
  int64_t cap = std::max(end, std::max(2 * g.lazy_cap, kLazyFirstMap));
  cap = std::min(cap, kMaxLazyEntries);
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t bytes = (static_cast<size_t>(cap) * sizeof(BlockEntry) + page - 1) / page * page;
  void* m = MAP_FAILED;
  if (g.lazy) {
    const size_t old = (static_cast<size_t>(g.lazy_cap) * sizeof(BlockEntry) + page - 1) / page * page;
    m = ::mremap(g.lazy, old, bytes, MREMAP_MAYMOVE);
  } else {
    m = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  }
  if (m == MAP_FAILED) return ERR_NOT_ENOUGH_MEMORY;
  g.lazy = static_cast<BlockEntry*>(m);
  g.lazy_cap = static_cast<int64_t>(bytes / sizeof(BlockEntry));
  publish();
  return 0;
}

// The lowest gap of n indices between the runs held (or after the last).
int32_t lazy_take(int32_t n, int64_t& start) {
  int64_t at = 0;
  for (const LazyRun& r : g.lazy_runs) {
    if (r.start - at >= n) break;
    at = r.start + r.n;
  }
  if (int32_t rc = lazy_map(at + n)) return rc;
  start = at;
  return 0;
}

// Gives run r's numbers back: its made entries read as never visited again,
// and a long stretch of them returns its pages to the system.
void lazy_release(size_t r) {
  LazyRun& run = g.lazy_runs[r];
  const int64_t words = (static_cast<int64_t>(run.n) + 63) / 64;
  for (int64_t w = 0; w < words; ++w) {
    for (uint64_t bits = run.made[w]; bits; bits &= bits - 1)
      g.lazy[run.start + w * 64 + __builtin_ctzll(bits)].made = 0;
  }
  if (static_cast<size_t>(run.made_count) * sizeof(BlockEntry) >= kLazyGiveBackBytes) {
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto from = reinterpret_cast<uintptr_t>(g.lazy + run.start);
    const auto to = reinterpret_cast<uintptr_t>(g.lazy + run.start + run.n);
    const uintptr_t lo = (from + page - 1) / page * page, hi = to / page * page;
    if (hi > lo) ::madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_DONTNEED);
  }
  g.lazy_made -= run.made_count;
  g.lazy_total -= run.n;
  mem_free(run.made);
  g.lazy_runs.erase(g.lazy_runs.begin() + static_cast<std::ptrdiff_t>(r));
}

void lazy_release_all() {
  while (!g.lazy_runs.empty()) lazy_release(g.lazy_runs.size() - 1);
  if (g.lazy) {
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    ::munmap(g.lazy, (static_cast<size_t>(g.lazy_cap) * sizeof(BlockEntry) + page - 1) / page * page);
  }
  g.lazy = nullptr;
  g.lazy_cap = 0;
}

int alloc_size_for(int s) {
  int a = s + 4 * (s / 20) + 28 + s / 40;
  return (a + 3) & ~3;
}

size_t page_bytes() { return sizeof(Page) + static_cast<size_t>(g.image); }

// ---- LRU list ----

void lru_push_front(Page* p) {
  if (!g.lru) {
    p->lru_next = p->lru_prev = p;
  } else {
    p->lru_next = g.lru;
    p->lru_prev = g.lru->lru_prev;
    g.lru->lru_prev->lru_next = p;
    g.lru->lru_prev = p;
  }
  g.lru = p;
  ++g.lru_n;
}

void lru_remove(Page* p) {
  if (p->lru_next == p) {
    g.lru = nullptr;
  } else {
    p->lru_prev->lru_next = p->lru_next;
    p->lru_next->lru_prev = p->lru_prev;
    if (g.lru == p) g.lru = p->lru_next;
  }
  p->lru_next = p->lru_prev = nullptr;
  --g.lru_n;
}

void lru_touch(Page* p) {
  if (g.lru == p) return;
  lru_remove(p);
  lru_push_front(p);
}

void init_page(Page* p) {
  p->lru_next = p->lru_prev = nullptr;
  p->loc = kLocNone;
  p->owner = -1;
  p->dirty = 0;
  p->counted_before = kCountUnknown;
  p->cont = 0;
  p->nlines = 0;
}

// ---- spill file ----

int32_t ensure_spill() {
  if (g.spill_fd >= 0) return 0;
  std::string dir = g.spill_dir;
  int fd = file_make_temp(dir, "$zvx.", 0600, 2);
  if (fd < 0) {  // the spill directory setting is unusable: forget it and try once more
    g.spill_dir.clear();
    dir.clear();
    fd = file_make_temp(dir, "$zvx.", 0600, 2);
  }
  if (fd < 0) {
    ui_show_error(fd);
    return fd;
  }
  g.spill_fd = fd;
  g.spill_path = dir;
  return 0;
}

// Gives a slot back: its first 8 bytes link to the old head. A failed write
// leaks the slot; nothing else depends on it.
void spill_free_slot(int64_t slot) {
  if (g.spill_fd < 0 || slot < 0) return;
  int64_t head = g.spill_free;
  if (file_io().pwrite(g.spill_fd, &head, sizeof head, slot) == static_cast<long>(sizeof head)) g.spill_free = slot;
}

int32_t spill_take_slot(int64_t& slot) {
  if (g.spill_free >= 0) {
    int64_t next = -1;
    int32_t rc = spill_read_at(&next, sizeof next, g.spill_free);
    if (rc) return rc;
    slot = g.spill_free;
    g.spill_free = next;
    return 0;
  }
  slot = g.spill_end;
  if (slot > g.spill_limit) {  // warned once; offsets are 64-bit, so going on is safe
    ui_show_error(ERR_SPILL_TOO_LARGE);
    g.spill_limit = INT64_MAX;
  }
  return 0;
}

// ---- pages ----

Page* evict_page(int32_t* err) {
  if (!g.lru) {
    *err = ERR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  Page* v = g.lru->lru_prev;
  if (v->loc == kLocNone || v->dirty) {
    int32_t rc = ensure_spill();
    if (rc) {
      *err = rc;
      return nullptr;
    }
    int64_t slot = v->loc;
    if (slot < 0) {
      rc = spill_take_slot(slot);
      if (rc) {
        *err = rc;
        return nullptr;
      }
    }
    rc = spill_write_at(&v->cont, static_cast<size_t>(g.image), slot);
    if (rc) {
      if (v->loc < 0) spill_free_slot(slot);
      ui_show_error(rc);
      *err = rc;
      return nullptr;
    }
    if (slot + g.image > g.spill_end) g.spill_end = slot + g.image;
    v->loc = slot;
    v->dirty = 0;
  }
  if (v->owner < 0 && g.undo_hook) {
    int32_t rc = g.undo_hook(v, v->loc);
    if (rc) {
      ui_show_error(rc);
      *err = rc;
      return nullptr;
    }
  }
  lru_remove(v);
  if (v->owner >= 0) {
    BlockEntry& e = store_block(v->owner);
    e.loc = v->loc;
    e.page = nullptr;
    e.count &= ~kCountInMemory;
    // Same range, same text: the count from before still holds.
    if ((e.count & kCountLinesMask) == kCountUnknown && v->counted_before != kCountUnknown) e.count = v->counted_before;
  }
  return v;
}

Page* sys_new_page() { return static_cast<Page*>(mem_alloc(page_bytes())); }

void drop_block_page(int32_t b) {
  BlockEntry& e = store_block(b);
  if (e.count & kCountInMemory) {
    Page* p = e.page;
    if (p->loc >= 0) spill_free_slot(p->loc);
    lru_remove(p);
    store_release_page(p);
  } else if (e.loc >= 0) {
    spill_free_slot(e.loc);
  }
  e.count = 0;
  e.loc = kLocNone;
  e.page = nullptr;
}

void free_all_pages() {
  while (g.lru) {
    Page* p = g.lru;
    lru_remove(p);
    mem_free(p);
  }
  while (g.reserve) {
    Page* p = g.reserve;
    g.reserve = p->lru_next;
    mem_free(p);
  }
  g.pages = 0;
}

}  // namespace

// ---- parameters ----

namespace store_detail {
BlockEntry* blocks = nullptr;
BlockEntry* lazy = nullptr;
int image_size = 10040;

// Makes lazy entry b as the load would have: its share of the file counted
// from the run's start, linked to the numbers beside it, not counted. A
// number no run holds (a stale one) reads as a freed entry and stays unmade.
void make_lazy_entry(int32_t b) {
  const int64_t i = static_cast<int64_t>(b) - kLazyBlockBase;
  BlockEntry& e = g.lazy[i];
  const size_t r = lazy_run_of(i);
  if (r >= g.lazy_runs.size()) {
    e = BlockEntry{0, -1, -1, 0, kLocNone, nullptr, 0, 0};
    return;
  }
  LazyRun& run = g.lazy_runs[r];
  const int64_t k = i - run.start;
  const int64_t head = k == 0 ? run.lead : 0;
  const int64_t off = k == 0 ? 0 : std::min(k * run.per - run.lead, run.size);
  const int64_t cover = std::max<int64_t>(0, std::min(run.per - head, run.size - off));
  e.count = kCountUnknown;
  e.next = k + 1 < run.n ? b + 1 : -1;
  e.prev = k > 0 ? b - 1 : -1;
  e.bytes = static_cast<uint32_t>(cover + head);
  e.loc = store_loc_source(off);
  e.page = nullptr;
  e.made = 1;
  e.pad = 0;
  run.made[k >> 6] |= uint64_t{1} << (k & 63);
  ++run.made_count;
  ++g.lazy_made;
}
}  // namespace store_detail

int store_page_size() { return g.S; }
int store_alloc_size() { return g.A; }
int store_page_limit() { return g.page_limit; }
int store_pages_allocated() { return g.pages; }
int store_pages_in_lru() { return g.lru_n; }
int32_t store_block_capacity() { return g.cap; }
int32_t store_block_high_water() { return g.high; }
int32_t store_lazy_runs() { return static_cast<int32_t>(g.lazy_runs.size()); }
int64_t store_lazy_entries() { return g.lazy_total; }
int64_t store_lazy_made() { return g.lazy_made; }
bool store_block_valid(int32_t b) {
  if (b < 0) return false;
  if (b < kLazyBlockBase) return b <= g.high;
  return b - kLazyBlockBase < g.lazy_cap;
}
void* store_work_selection() { return g.work_sel; }
StoreLoadState& store_load_state() { return g.load; }
void store_set_undo_evict_hook(StoreUndoEvictHook hook) { g.undo_hook = hook; }
void store_set_close_hook(StoreCloseHook hook) { g.close_hook = hook; }
const std::string& store_spill_path() { return g.spill_path; }

bool store_set_spill_dir(std::string_view dir) {
  if (g.spill_fd >= 0) return false;
  g.spill_dir.assign(dir.substr(0, 255));
  return true;
}

const std::string& store_spill_dir() { return g.spill_dir; }
int64_t store_spill_end() { return g.spill_end; }
int64_t store_spill_free_head() { return g.spill_free; }

// ---- set-up ----

int32_t store_init(int32_t memory_kb, std::string_view spill_dir, int32_t max_file_mb, void* work_selection) {
  store_shutdown();
  int64_t mb = max_file_mb < kMinFileMb ? kMinFileMb : (max_file_mb > kMaxFileMb ? kMaxFileMb : max_file_mb);
  int best_s = kPageSizes[0];
  int64_t best_cost = INT64_MAX, best_entries = 0;
  for (int s : kPageSizes) {
    int64_t entries = mb * 1048576 / s;
    int64_t cost = 3 * static_cast<int64_t>(alloc_size_for(s)) + 20 * entries;
    if (cost >= best_cost) break;
    best_cost = cost;
    best_s = s;
    best_entries = entries;
  }
  g.S = best_s;
  g.A = alloc_size_for(best_s);
  g.image = g.A - 20;
  g.table = static_cast<BlockEntry*>(mem_alloc(sizeof(BlockEntry) * static_cast<size_t>(best_entries)));
  if (!g.table) return ERR_NOT_ENOUGH_MEMORY;
  g.cap = static_cast<int32_t>(best_entries);
  publish();
  g.spill_dir.assign(spill_dir.substr(0, 255));
  g.work_sel = work_selection;
  int32_t kb = memory_kb, limit = 0;
  if (store_set_page_limit(kb, limit)) g.page_limit = -1;
  g.high = -1;
  g.free_head = -1;
  g.free_count = 0;
  g.load = StoreLoadState{};
  return store_fill_reserve();
}

void store_shutdown() {
  store_close_spill();
  free_all_pages();
  mem_free(g.table);
  g.table = nullptr;
  lazy_release_all();
  g.lazy_made = 0;
  g.lazy_total = 0;
  publish();
  g.cap = 0;
  g.high = -1;
  g.free_head = -1;
  g.free_count = 0;
  g.page_limit = -1;
  g.spill_end = 0;
  g.spill_free = -1;
  g.spill_limit = kSpillSoftLimit;
  g.undo_hook = nullptr;
}

int32_t store_set_page_limit(int32_t& kb, int32_t& limit) {
  if (kb < 0) {
    kb = -1;
    limit = -1;
    g.page_limit = -1;
    return 0;
  }
  int64_t pages = kb == 0 ? 0 : static_cast<int64_t>(kb) * 1024 / g.A + 1;
  if (pages < kMinPages) return ERR_NOT_ENOUGH_MEMORY;
  limit = static_cast<int32_t>(pages);
  kb = static_cast<int32_t>(pages * g.A / 1024);
  g.page_limit = limit;
  return 0;
}

// ---- pages ----

Page* store_new_page(int32_t* err) {
  int32_t dummy;
  if (!err) err = &dummy;
  Page* p = nullptr;
  if (g.reserve) {
    p = g.reserve;
    g.reserve = p->lru_next;
  } else if (g.page_limit < 0 || g.pages < g.page_limit) {
    p = sys_new_page();
    if (p) ++g.pages;
  }
  if (!p) p = evict_page(err);
  if (p) init_page(p);
  return p;
}

void store_release_page(Page* p) {
  if (g.pages < kReservePages) {
    p->lru_next = g.reserve;
    g.reserve = p;
  } else {
    mem_free(p);
    --g.pages;
  }
}

bool store_adopt_page(Page* p, int32_t block) {
  BlockEntry& e = store_block(block);
  p->owner = block;
  e.page = p;
  e.count |= kCountInMemory;
  lru_push_front(p);
  return true;
}

int32_t store_fill_reserve() {
  while (g.pages <= 2) {
    Page* p = sys_new_page();
    if (!p) return ERR_NOT_ENOUGH_MEMORY;
    ++g.pages;
    p->lru_next = g.reserve;
    g.reserve = p;
  }
  return 0;
}

namespace {
// Grows the table to hold at least `need` entries, in steps of 400; a failed
// allocation is tried once more.
int32_t grow_table(int64_t need) {
  if (need <= g.cap) return 0;
  int64_t cap = g.cap + (need - g.cap + kBlockGrowStep - 1) / kBlockGrowStep * kBlockGrowStep;
  if (cap > kMaxTableEntries) return ERR_NOT_ENOUGH_MEMORY;
  size_t n = sizeof(BlockEntry) * static_cast<size_t>(cap);
  void* t = mem_realloc(g.table, n);
  if (!t) t = mem_realloc(g.table, n);
  if (!t) return ERR_NOT_ENOUGH_MEMORY;
  g.table = static_cast<BlockEntry*>(t);
  g.cap = static_cast<int32_t>(cap);
  publish();
  return 0;
}

// Takes the head of the free list (which must not be empty), giving back the
// spill slot a swapped-out block still held.
int32_t pop_free_block() {
  int32_t b = g.free_head;
  g.free_head = g.table[b].next;
  --g.free_count;
  if (!(g.table[b].count & kCountInMemory) && g.table[b].loc >= 0) spill_free_slot(g.table[b].loc);
  return b;
}
}  // namespace

int32_t store_reserve_blocks(int32_t n) {
  int64_t from_free = g.free_count < n ? g.free_count : n;
  return grow_table(static_cast<int64_t>(g.high) + 1 + (n - from_free));
}

int32_t store_new_chain(int32_t n, int32_t* first, int64_t size, int64_t lead, int64_t per) {
  *first = -1;
  if (n <= 0) return 0;
  int64_t start = 0;
  int32_t rc = lazy_take(n, start);
  if (rc) return rc;
  const int64_t words = (static_cast<int64_t>(n) + 63) / 64;
  auto* made = static_cast<uint64_t*>(mem_alloc(static_cast<size_t>(words) * sizeof(uint64_t)));
  if (!made) return ERR_NOT_ENOUGH_MEMORY;
  std::memset(made, 0, static_cast<size_t>(words) * sizeof(uint64_t));
  LazyRun r{start, n, n, 0, size, lead, per, made};
  auto at = std::lower_bound(g.lazy_runs.begin(), g.lazy_runs.end(), start,
                             [](const LazyRun& x, int64_t s) { return x.start < s; });
  g.lazy_runs.insert(at, r);
  g.lazy_total += n;
  *first = static_cast<int32_t>(kLazyBlockBase + start);
  return 0;
}

int32_t block_alloc(int32_t next, int32_t prev) {
  int32_t b;
  if (g.free_head >= 0) {
    b = pop_free_block();
  } else {
    int32_t rc = grow_table(static_cast<int64_t>(g.high) + 2);
    if (rc) return rc;
    b = ++g.high;
  }
  BlockEntry& e = g.table[b];
  e.count = 0;
  e.next = next;
  e.prev = prev;
  e.bytes = 0;
  e.loc = kLocNone;
  e.page = nullptr;
  e.made = 1;
  return b;
}

int32_t store_new_block(int32_t block, int32_t next, int32_t prev) {
  int32_t b = block;
  if (b < 0) {
    b = block_alloc(next, prev);
    if (b < 0) return b;
  }
  int32_t err = 0;
  Page* p = store_new_page(&err);
  if (!p) {
    if (block < 0) store_free_block(b);
    return err;
  }
  BlockEntry& e = store_block(b);
  e.next = next;
  e.prev = prev;
  e.bytes = 0;
  e.count = kCountInMemory;
  e.loc = kLocNone;
  e.page = p;
  p->owner = b;
  lru_push_front(p);
  return b;
}

void store_free_block(int32_t b) {
  drop_block_page(b);
  if (b >= kLazyBlockBase) {
    // Its number stays with its run until the whole run is given back.
    BlockEntry& e = store_block(b);
    e.next = e.prev = -1;
    const size_t r = lazy_run_of(b - kLazyBlockBase);
    if (r < g.lazy_runs.size() && --g.lazy_runs[r].live == 0) lazy_release(r);
    return;
  }
  g.table[b].next = g.free_head;
  g.table[b].prev = -1;
  g.free_head = b;
  ++g.free_count;
}

void store_free_blocks(int32_t first) {
  while (first >= 0) {
    if (first >= kLazyBlockBase && !g.lazy[first - kLazyBlockBase].made) {
      // Entries never visited hold no page and no slot and still link to
      // the numbers beside them: the whole stretch up to the next entry
      // made goes at once.
      const int64_t i = first - kLazyBlockBase;
      const size_t r = lazy_run_of(i);
      if (r < g.lazy_runs.size()) {
        LazyRun& run = g.lazy_runs[r];
        const int64_t k = i - run.start;
        const int64_t m = lazy_next_made(run, k);
        const int32_t next = m < run.n ? static_cast<int32_t>(kLazyBlockBase + run.start + m) : -1;
        run.live -= m - k;
        if (run.live == 0) lazy_release(r);
        first = next;
        continue;
      }
    }
    int32_t next = store_block(first).next;
    store_free_block(first);
    first = next;
  }
}

void store_close_buffer(BufferRec* buf) {
  if (g.close_hook) g.close_hook(buf);
  store_free_blocks(buf->first_block);
  buf->first_block = -1;
  buf->bytes = 0;
  if (buf->source_fd >= 0) ::close(buf->source_fd);
  buf->source_fd = -1;
  if (buf->keep_open & 0x80000000) ::close(buf->keep_open & 0x7fffffff);
  buf->keep_open = 0;
}

int32_t store_get_page(Page*& page, int32_t block, BufferRec* buf) {
  // A buffer never loaded has no blocks: it has no lines either.
  if (!store_block_valid(block)) return ERR_BOTTOM_OF_FILE;
  BlockEntry* e = &store_block(block);
  if (e->count & kCountInMemory) {
    lru_touch(e->page);
    page = e->page;
    return 0;
  }
  buf->load_state = 1;
  int32_t rc = 0;
  if (store_loc_is_source(e->loc)) {
    rc = store_source_check(buf);  // never splice in text of a file changed since loading
    if (!rc) rc = store_read_source_page(block, buf);
  } else {
    Page* p = store_new_page(&rc);
    if (p) {
      e = &store_block(block);
      if (e->loc >= 0) {
        rc = spill_read_at(&p->cont, static_cast<size_t>(g.image), e->loc);
        if (rc) {
          store_release_page(p);
          p = nullptr;
        }
      }
      if (p) {
        p->owner = block;
        p->loc = e->loc;
        e->page = p;
        e->count |= kCountInMemory;
        lru_push_front(p);
      }
    }
  }
  if (rc) {
    ui_show_error(rc);
    return rc;
  }
  // Counting records as they are read can split the page often enough to
  // push it out again; it is counted by then and comes back from spill.
  if (!(store_block(block).count & kCountInMemory)) return store_get_page(page, block, buf);
  page = store_block(block).page;
  return 0;
}

int32_t store_get_page_counted(Page*& page, int32_t block, BufferRec* buf) {
  int32_t rc = store_get_page(page, block, buf);
  if (rc) return rc;
  if ((store_block(block).count & kCountLinesMask) == kCountUnknown) {
    rc = page_count_lines(page, block, buf);
    if (rc) return rc;
    // The pages split off while counting may have pushed this one out; a
    // clean page from the file is then read and counted again, the same way.
    if (!(store_block(block).count & kCountInMemory)) return store_get_page_counted(page, block, buf);
    page = store_block(block).page;
    lru_touch(page);
  }
  return 0;
}

int32_t store_get_page_counted_at(Page*& page, int32_t block, int64_t& base, BufferRec* buf) {
  if (!store_block_valid(block)) return ERR_BOTTOM_OF_FILE;
  const BlockEntry& e = store_block(block);
  if (!(e.count & kCountInMemory) && store_loc_is_source(e.loc) && (e.count & kCountLinesMask) == kCountUnknown) {
    // Never read: only its start may move, and only while it is read.
    const int64_t before = e.bytes;
    int32_t rc = store_get_page(page, block, buf);
    if (rc) return rc;
    const int64_t grown = static_cast<int64_t>(store_block(block).bytes) - before;
    if (grown > 0) base -= grown;
  }
  return store_get_page_counted(page, block, buf);
}

// ---- allocation with eviction ----

// The allocator asks the open store for memory back.
bool mem_release(size_t n) { return g.table != nullptr && store_release_memory(n); }

bool store_release_memory(size_t n) {
  size_t freed = 0;
  while (freed < n) {
    if (g.pages < kReservePages) return false;
    int32_t err = 0;
    Page* p = evict_page(&err);
    if (!p) return false;
    mem_free(p);
    --g.pages;
    freed += page_bytes();
  }
  return true;
}

void* store_malloc(size_t n) { return mem_retry_alloc(n); }

void* store_realloc(void* old, size_t n) { return mem_retry_realloc(old, n); }

// ---- spill file ----

void store_close_spill() {
  if (g.spill_fd >= 0) {
    ::close(g.spill_fd);
    ::unlink(g.spill_path.c_str());
  }
  g.spill_fd = -1;
  g.spill_path.clear();
  g.spill_end = 0;
  g.spill_free = -1;
  // Pages of blocks that named slots can no longer be read back: forget the slots.
  if (Page* p = g.lru) {
    do {
      if (p->owner >= 0 && p->loc >= 0) {
        p->loc = kLocNone;
        p->dirty = 1;
      }
      p = p->lru_next;
    } while (p != g.lru);
  }
}

int32_t spill_read_at(void* dst, size_t n, int64_t off) {
  for (;;) {
    if (file_io().pread(g.spill_fd, dst, n, off) == static_cast<long>(n)) return 0;
    if (!ui_ask_spill_retry()) return ERR_SPILL_IO;
  }
}

int32_t spill_write_at(const void* src, size_t n, int64_t off) {
  for (;;) {
    if (file_io().pwrite(g.spill_fd, src, n, off) == static_cast<long>(n)) return 0;
    if (!ui_ask_spill_retry()) return ERR_SPILL_IO;
  }
}

int32_t file_seek_retry(int fd, int64_t off) {
  for (;;) {
    if (file_io().seek(fd, static_cast<off_t>(off), SEEK_SET) == static_cast<off_t>(off)) return 0;
    if (!ui_ask_spill_retry()) return ERR_READING_FILE;
  }
}

int file_make_temp_in(std::string& dir, std::string_view prefix, int perms) {
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  long pid = static_cast<long>(::getpid());
  for (int i = 0; i < kTempNameTries; ++i) {
    std::string name = base + std::string(prefix) + std::to_string(pid + i);
    int fd = file_io().open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(perms));
    if (fd >= 0) {
      dir = name;
      return fd;
    }
    if (errno != EEXIST) return os_errno_code(errno, ERR_READING_FILE);
  }
  return ERR_READING_FILE;
}

int file_make_temp(std::string& dir, std::string_view prefix, int perms, int fallback) {
  int fd = -1;
  if (!(fallback == 2 && dir.empty())) {
    std::string d = dir;
    fd = file_make_temp_in(d, prefix, perms);
    if (fd >= 0) {
      dir = d;
      return fd;
    }
    if (fallback == 0) return fd;
  }
  const char* tmp = std::getenv("TMP");
  std::string d = (tmp && *tmp) ? tmp : "/tmp";
  fd = file_make_temp_in(d, prefix, perms);
  if (fd >= 0) {
    dir = d;
    return fd;
  }
  d.clear();
  fd = file_make_temp_in(d, prefix, perms);
  if (fd >= 0) dir = d;
  return fd;
}

// ---- raw bytes ----

int64_t buf_read_bytes(void* dst, int64_t count, int32_t block, int64_t offset, BufferRec* buf) {
  if (count < 0) return ERR_INVALID_ARGUMENT;
  int64_t done = 0;
  auto* out = static_cast<uint8_t*>(dst);
  while (done < count && block >= 0) {
    if (store_block(block).bytes > 0) {
      // Counted first: counting moves a block's unfinished last line into
      // an unread next block, whose page then holds it; read before, it
      // would be copied twice.
      Page* p = nullptr;
      int32_t rc = store_get_page_counted(p, block, buf);
      if (rc) return done ? done : rc;
    }
    const int64_t avail = static_cast<int64_t>(store_block(block).bytes) - offset;
    if (avail > 0) {
      const int64_t n = avail < count - done ? avail : count - done;
      std::memcpy(out + done, store_block(block).page->text + offset, static_cast<size_t>(n));
      done += n;
      offset = 0;
    } else {
      offset = -avail;  // counting moved the offset into the next block
    }
    block = store_block(block).next;
  }
  return done;
}

int64_t buf_read_bytes_at(void* dst, int64_t count, int64_t offset, BufferRec* buf) {
  if (count < 0) return ERR_INVALID_ARGUMENT;
  int64_t base = -(buf->record_len ? buf->record_len : 1);
  if (offset < base) return ERR_INVALID_POINT;
  int32_t b = buf->first_block;
  for (;;) {
    while (b >= 0 && offset >= base + store_block(b).bytes) {
      base += store_block(b).bytes;
      b = store_block(b).next;
    }
    if (b < 0) return count == 0 ? 0 : ERR_INVALID_POINT;
    Page* p = nullptr;
    int32_t rc = store_get_page_counted_at(p, b, base, buf);
    if (rc) return rc;
    if (offset < base + store_block(b).bytes) break;  // else counting moved the offset on
  }
  return buf_read_bytes(dst, count, b, offset - base, buf);
}

void buf_end_info(BufferRec* buf, int64_t& end, int32_t& last_block) {
  int64_t sum = 0;
  last_block = -1;
  for (int32_t b = buf->first_block; b >= 0; b = store_block(b).next) {
    sum += store_block(b).bytes;
    last_block = b;
  }
  end = sum - (buf->record_len ? buf->record_len : 1);
}

// ---- checks ----

std::string store_check(BufferRec* buf) {
  int64_t sum = 0;
  int32_t prev = -1;
  int guard = 0;
  for (int32_t b = buf->first_block; b >= 0; b = store_block(b).next) {
    if (++guard > g.high + 2 + lazy_entries()) return "chain loops";
    const BlockEntry& e = store_block(b);
    if (e.prev != prev) return "block " + std::to_string(b) + ": prev link " + std::to_string(e.prev);
    sum += e.bytes;
    if (e.count & kCountInMemory) {
      Page* p = e.page;
      if (!p || p->owner != b) return "block " + std::to_string(b) + ": page owner";
      if ((e.count & kCountLinesMask) != kCountUnknown) {
        if (p->nlines == 0) return "block " + std::to_string(b) + ": empty page in chain";
        int64_t len = 0;
        for (uint32_t k = 0; k < p->nlines; ++k) len += page_entry(p, static_cast<int>(k))->length;
        if (len != e.bytes)
          return "block " + std::to_string(b) + ": table sums to " + std::to_string(len) + ", bytes " +
                 std::to_string(e.bytes);
        if ((e.count & kCountLinesMask) != p->nlines - p->cont) return "block " + std::to_string(b) + ": count word";
        if (page_free_space(p, e.bytes) < 0) return "block " + std::to_string(b) + ": page overfull";
        if (e.next < 0 && p->cont) return "last block continues";
      }
    }
    prev = b;
  }
  int64_t tof = buf->record_len ? buf->record_len : 1;
  if (sum - tof != buf->bytes)
    return "buffer bytes " + std::to_string(buf->bytes) + " but blocks hold " + std::to_string(sum - tof);
  return {};
}
