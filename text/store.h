// The text store: fixed-size pages in one global block table, an LRU list of
// pages in memory, a small reserve, and one spill file per process.
//
// A buffer's text is a doubly linked chain of blocks; each block owns at most
// one page. A block's text is in exactly one place: in memory (page != null),
// in a spill-file slot, still in the buffer's source file (never read, or read
// and still clean), or nowhere (a new or emptied block).
//
// Invariant: for every block of a chain, `bytes` is the number of text bytes
// it holds (end-of-line bytes included) and, once counted, the low 31 bits of
// `count` are the number of lines that END in this block; a page in memory
// holds exactly `bytes` text bytes and its line-table lengths sum to `bytes`.
// The buffer's byte count is the sum of its blocks' bytes minus the
// top-of-file line. A page's last line may continue at index 0 of the next
// block's page (continuation flag); that continued part is never a line of
// its own.
//
// Start reading at store_init and store_get_page; loading files is in load.h,
// the line cursor in cursor.h, the edits in store_edit.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/messages.h"
#include "text/buffer_rec.h"

// ---- page layout ----------------------------------------------------------

// One line-table entry; the table grows downwards from the end of the image.
struct LineEntry {
  uint16_t flags;   // bits 0-3 colour state, 0x10 changed, 0x20 inserted
  uint16_t length;  // bytes, end-of-line bytes included
};

inline constexpr uint16_t kLineChanged = 0x10;
inline constexpr uint16_t kLineInserted = 0x20;

// A page in memory: a header that never leaves memory, then the image that is
// the spill-file slot format (continuation flag, line count, text upwards,
// line table downwards from the end).
struct Page {
  Page* lru_next;
  Page* lru_prev;
  int64_t loc;    // where the image may be found again: see store_loc_* below
  int32_t owner;  // block number, or minus a buffer handle for an undo block
  uint8_t dirty;  // the image differs from its spill copy, or has none
  uint8_t pad[3];
  // Lines the block was counted with before this copy was read again from
  // its file, kCountUnknown if never: given back to the block if the copy is
  // dropped before it is counted, so the block never looks unread again.
  uint32_t counted_before;
  uint32_t pad2;
  // ---- image (offset 0) ----
  uint32_t cont;    // 1 when the last line continues in the next block's page
  uint32_t nlines;  // entries in the line table
  uint8_t text[];   // text bytes, then free space, then the line table
};

// Block or page locations. A slot is >= 0; kLocNone means no copy anywhere;
// a source-file offset o is stored as -2 - o. All offsets are 64-bit.
inline constexpr int64_t kLocNone = -1;
inline constexpr int64_t store_loc_source(int64_t off) { return -2 - off; }
inline constexpr bool store_loc_is_source(int64_t loc) { return loc <= -2; }
inline constexpr int64_t store_loc_source_offset(int64_t loc) { return -2 - loc; }

// Count word of a block.
inline constexpr uint32_t kCountInMemory = 0x80000000u;
inline constexpr uint32_t kCountLinesMask = 0x7fffffffu;
inline constexpr uint32_t kCountUnknown = 0x7fffffffu;  // read but not counted yet

struct BlockEntry {
  uint32_t count;  // bit 31: page in memory; low 31 bits lines ending here, or kCountUnknown
  int32_t next;    // -1 none
  int32_t prev;    // -1 none
  uint32_t bytes;  // text bytes of the block, end-of-line bytes included
  int64_t loc;     // when not in memory: slot, kLocNone or source offset
  Page* page;      // when in memory
  uint32_t made;   // 0 only for a lazy entry never visited (see below)
  uint32_t pad;
};

// Block numbers from kLazyBlockBase on name the entries of lazily loaded
// files. A load takes one run of consecutive numbers in a table of its own,
// mapped fresh from the system: an entry stays zero, costing nothing, until
// it is first visited; it is then made from its number (its range in the
// file, its neighbours the numbers on either side, not counted) exactly as
// the load would have made it. Closing the file gives the whole run back at
// once, visiting only the entries that were made.
inline constexpr int32_t kLazyBlockBase = 1 << 30;

// ---- limits ---------------------------------------------------------------

inline constexpr int kMaxLineBytes = 1024;              // a line with its end of line
inline constexpr int kMinPages = 3;                     // a split needs two pages and a third to load
inline constexpr int kReservePages = 4;                 // pages never given back to the system
inline constexpr int kBlockGrowStep = 400;              // entries added when the table is full
inline constexpr int64_t kSpillSoftLimit = 2047483647;  // warn once past this size
inline constexpr int kTempNameTries = 500;

// ---- parameters and globals -----------------------------------------------

// Read on every line step, so the accessors below are inline.
namespace store_detail {
extern BlockEntry* blocks;
extern BlockEntry* lazy;  // entry kLazyBlockBase + i is lazy[i]
extern int image_size;
void make_lazy_entry(int32_t b);
}  // namespace store_detail

int store_page_size();   // S: text bytes a lazily read page takes from a file
int store_alloc_size();  // A: bytes of a page allocation in the original layout
inline int store_image_size() { return store_detail::image_size; }  // A - 20: the image (spill slot) size
int store_page_limit();                                             // pages, -1 = no limit
int store_pages_allocated();
int store_pages_in_lru();
// The entry of a block. The table may move when blocks are allocated: do not
// keep the reference across block_alloc, store_new_block, store_new_chain or
// a page count.
inline BlockEntry& store_block(int32_t b) {
  if (b < kLazyBlockBase) return store_detail::blocks[b];
  BlockEntry& e = store_detail::lazy[b - kLazyBlockBase];
  if (!e.made) [[unlikely]]
    store_detail::make_lazy_entry(b);
  return e;
}
// Makes room for n more entries at once; 0 or -2029.
int32_t store_reserve_blocks(int32_t n);
// n new entries linked in order for a file of `size` bytes read lazily: each
// covers `per` bytes of the file (the first `per - lead`, its page also holds
// the top-of-file line of `lead` bytes), count "not counted". *first is the
// first of them; they are lazy entries, made when first visited, so the
// work does not grow with n. 0 or -2029.
int32_t store_new_chain(int32_t n, int32_t* first, int64_t size, int64_t lead, int64_t per);
int32_t store_block_capacity();
int32_t store_block_high_water();
// Lazy entries: runs held, entries of those runs, and of them the entries
// made so far (tests and benchmarks look at these).
int32_t store_lazy_runs();
int64_t store_lazy_entries();
int64_t store_lazy_made();
// True when b names an entry of the table or of a lazy run held.
bool store_block_valid(int32_t b);

// Line-table entry k (0 = first line) of a page.
inline LineEntry* page_entry(Page* p, int k) {
  return reinterpret_cast<LineEntry*>(reinterpret_cast<uint8_t*>(&p->cont) + store_image_size() - 4) - k;
}
// Bytes free between the text and the table of a page holding `bytes` text.
inline int64_t page_free_space(const Page* p, int64_t bytes) {
  return static_cast<int64_t>(store_image_size()) - 8 - bytes - 4 * static_cast<int64_t>(p->nlines);
}

// ---- set-up ---------------------------------------------------------------

// Sets up the store. memory_kb < 0: no page limit. The page size follows the
// maximum file size (clamped to 2..900 MB). Returns 0 or -2029; may be called
// again after store_shutdown().
int32_t store_init(int32_t memory_kb, std::string_view spill_dir, int32_t max_file_mb, void* work_selection = nullptr);
// Frees every page and the block table and removes the spill file.
void store_shutdown();
void* store_work_selection();

// Converts a memory size in KB (16-bit) into a page limit; kb gets the size
// actually used. -2029 when fewer than 3 pages would result (nothing changes).
int32_t store_set_page_limit(int32_t& kb, int32_t& limit);

// ---- blocks and pages -----------------------------------------------------

// Makes the block's page addressable and most recently used, loading it from
// the spill file or the source file. Pointers to other pages stay valid only
// while fewer than the limit's pages are in use since they were fetched: callers
// fetch again after any call that may load or create a page. Errors are also
// shown (ui_show_error).
int32_t store_get_page(Page*& page, int32_t block, BufferRec* buf);
// As store_get_page, and builds the line table first if needed.
int32_t store_get_page_counted(Page*& page, int32_t block, BufferRec* buf);
// As store_get_page_counted for a block whose buffer offset `base` was summed
// before it was read: a block read for the first time may start earlier (it
// takes over the start of a line its predecessor ends inside), and base goes
// down by as much. Every byte keeps its buffer offset.
int32_t store_get_page_counted_at(Page*& page, int32_t block, int64_t& base, BufferRec* buf);
// A fresh empty page for a new entry (block -1) or the given one; links set,
// bytes 0, count 0x80000000, page most recently used. Block number or an error.
int32_t store_new_block(int32_t block, int32_t next, int32_t prev);
// Takes a table entry (free list first) and sets its links; block or -2029.
int32_t block_alloc(int32_t next, int32_t prev);
void store_free_block(int32_t block);
void store_free_blocks(int32_t first);
// Releases a buffer's blocks and pages and closes its source file.
void store_close_buffer(BufferRec* buf);
inline void store_mark_dirty(Page* p) { p->dirty = 1; }

// Takes a page from the reserve, the system (under the limit) or by evicting.
Page* store_new_page(int32_t* err);
void store_release_page(Page* p);
// Makes a freshly filled page the block's page in memory (most recently used);
// the block's low count bits are kept. Always true.
bool store_adopt_page(Page* p, int32_t block);
int32_t store_fill_reserve();

// ---- allocation with eviction ------------------------------------------------

// The system allocator through the memory seam; while it fails, evicts pages
// (the open store answers the seam's mem_release) and tries again. Null
// when nothing more can be released.
void* store_malloc(size_t n);
void* store_realloc(void* p, size_t n);
bool store_release_memory(size_t n);

// ---- spill file -------------------------------------------------------------

// Closes and deletes the spill file.
void store_close_spill();
const std::string& store_spill_path();  // empty before the spill file exists
// The directory the spill file will be made in (at most 255 bytes are kept).
// Only while no spill file exists: false, and nothing changes, once it does.
bool store_set_spill_dir(std::string_view dir);
const std::string& store_spill_dir();
int64_t store_spill_end();
int64_t store_spill_free_head();

// Raw spill-file I/O at a 64-bit offset, asking the user to retry while it
// fails; 0 or -2031 when declined. Used by undo blocks as well.
int32_t spill_read_at(void* dst, size_t n, int64_t off);
int32_t spill_write_at(const void* src, size_t n, int64_t off);

// Seeks a descriptor to an absolute offset, asking to retry while it fails;
// 0 or -33 when the user declines.
int32_t file_seek_retry(int fd, int64_t off);

// Creates a new file with a unique name dir + prefix + number (numbers start
// at the process id), exclusively and with the given permissions. On success
// dir becomes the full path and the descriptor is returned; -33 after 500
// names that exist, or the open error (negative errno). file_make_temp tries
// dir first (unless fallback is 2 and dir is empty; fallback 0 stops there),
// then TMP or "/tmp", then the current directory.
int file_make_temp_in(std::string& dir, std::string_view prefix, int perms);
int file_make_temp(std::string& dir, std::string_view prefix, int perms, int fallback);

// ---- raw bytes --------------------------------------------------------------

// Copies count raw text bytes from the block and offset on, across blocks
// (the offset counts from the block's start as it is now: the block must have
// been read); the number copied, or -3015 for a negative count.
int64_t buf_read_bytes(void* dst, int64_t count, int32_t block, int64_t offset, BufferRec* buf);
// The same from a buffer byte offset (the first real line starts at 0; the
// top-of-file line at -1); -2026 outside the text.
int64_t buf_read_bytes_at(void* dst, int64_t count, int64_t offset, BufferRec* buf);
// End offset of the buffer's text (bytes minus the top-of-file line) and the last block.
void buf_end_info(BufferRec* buf, int64_t& end, int32_t& last_block);

// ---- undo blocks --------------------------------------------------------------

// Called by store_close_buffer to release the buffer's undo blocks; none: nothing to release.
using StoreCloseHook = void (*)(BufferRec* buf);
void store_set_close_hook(StoreCloseHook hook);

// Called when an undo block's page (owner < 0) is evicted to `slot`, so that the
// undo log can rewrite the handles and neighbour links that named it. None: undo
// pages are simply spilled.
using StoreUndoEvictHook = int32_t (*)(Page* page, int64_t slot);
void store_set_undo_evict_hook(StoreUndoEvictHook hook);

// ---- load state (loading owns it) ------------------------------------------------

struct StoreLoadState {
  uint8_t detect_eol;        // armed for the first read of a load
  uint8_t ctrlz_mode;        // 0 off, 2 stop at the first Ctrl-Z, 1 a Ctrl-Z was found
  uint8_t raw;               // lines keep their end-of-line bytes as data
  int32_t ctrlz_block = -1;  // the block whose text the Ctrl-Z ended (mode 1)
};
StoreLoadState& store_load_state();

// Builds a page's line table (loading defines it).
int32_t page_count_lines(Page* page, int32_t block, BufferRec* buf);
// Reads a block's text from the buffer's source file into a new page (loading defines it).
int32_t store_read_source_page(int32_t block, BufferRec* buf);

// ---- checks ---------------------------------------------------------------------

// Walks a buffer's chain and checks links, byte counts and the line tables of
// the pages in memory; returns an empty string or a description of the fault.
std::string store_check(BufferRec* buf);
