// The main dictionary: its index, its buckets and the two walks over them
// (the exact lookup with its pruning, and the suggestion search).
#include <algorithm>
#include <cstring>
#include <new>

#include "base/le.h"
#include "base/regular_file.h"
#include "services/spell.h"
#include "services/spell_detail.h"

namespace {

// The index and every bucket at its largest (784 buckets of at most 65535
// bytes) come to about 49 MiB; a larger file is no dictionary.
constexpr int64_t kMainDictionaryMax = int64_t{64} << 20;

}  // namespace

namespace spell_detail {

void set_dict_file(const std::string& name) {
  const size_t n = std::min(name.size(), sizeof msg_dict_file - 1);
  std::memcpy(msg_dict_file, name.data(), n);
  msg_dict_file[n] = '\0';
}

int letter_code(char c) {
  if (c >= 'a' && c <= 'z') return c - 'a' + 1;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
  if (c == '\'') return 27;
  return 0;
}

int bucket_of(std::string_view lower) {
  if (lower.size() < 2) return -1;
  const int a = letter_code(lower[0]), b = letter_code(lower[1]);
  if (a == 0 || b == 0) return -1;  // not a letter or apostrophe: never an index
  return 28 * (a - 1) + b;
}

}  // namespace spell_detail

using namespace spell_detail;

namespace {

void free_buckets(SpellMainIndex& m) {
  for (auto& h : m.held) h.reset();
  m.loaded.fill(false);
  m.shared.clear();
  m.shared.shrink_to_fit();
  m.shared_bucket = -1;
  m.memory_full = false;
  m.recent.clear();
}

bool read_at(const SpellMainIndex& m, int b, uint8_t* to) {
  const int64_t at = int64_t{kSpellHeaderBytes} + m.offsets[b];
  return fd_pread_all(m.file.get(), to, m.sizes[b], at) == m.sizes[b];
}

// Reads bucket b into a block of its own; false when no memory is left
// (then nothing more is held). *err gets -3536 on a failed read.
bool hold_bucket(SpellMainIndex& m, int b, ErrorCode* err) {
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[m.sizes[b]]);
  if (!block) {
    m.memory_full = true;
    return false;
  }
  if (!read_at(m, b, block.get())) {
    *err = ERR_READ_MAIN_DICTIONARY;
    return false;
  }
  m.held[b] = std::move(block);
  m.loaded[b] = true;
  return true;
}

}  // namespace

void spell_main_close(SpellMainIndex& m) {
  free_buckets(m);
  m.file.reset();
  m.open = false;
  m.name.clear();
}

ErrorCode spell_main_open(SpellMainIndex& m, const std::string& name, bool preload) {
  spell_main_close(m);
  RegularFile file = regular_file_open(name.c_str(), kMainDictionaryMax);
  if (file.error) {
    set_dict_file(name);
    const bool missing = file.error == ERR_FILE_NOT_FOUND || file.error == ERR_PATH_NOT_FOUND;
    return missing ? ERR_SPELL_FILE_NOT_FOUND : ERR_OPEN_MAIN_DICTIONARY;
  }
  m.file = std::move(file.fd);
  uint8_t header[kSpellHeaderBytes];
  if (fd_pread_all(m.file.get(), header, sizeof header, 0) != static_cast<int64_t>(sizeof header)) {
    set_dict_file(name);
    m.file.reset();
    return ERR_READ_MAIN_DICTIONARY_INDEX;
  }
  uint16_t largest = 0;
  for (int b = 0; b < kSpellBuckets; ++b) {
    m.offsets[b] = le::get_u32(header + 4 * b);
    m.sizes[b] = le::get_u16(header + 4 * kSpellBuckets + 2 * b);
    m.splits[b] = le::get_u16(header + 6 * kSpellBuckets + 2 * b);
    largest = std::max(largest, m.sizes[b]);
  }
  try {
    m.shared.resize(largest);
  } catch (const std::bad_alloc&) {
    m.file.reset();
    return ERR_SPELL_NOT_ENOUGH_MEMORY;
  }
  m.name = name;
  if (preload) {
    bool all = true;
    for (int b = 0; b < kSpellBuckets; ++b) {
      if (m.sizes[b] == 0) {
        m.loaded[b] = true;
        continue;
      }
      ErrorCode err = 0;
      if (m.memory_full || !hold_bucket(m, b, &err)) {
        if (err != 0) {
          spell_main_close(m);
          return err;
        }
        all = false;
      }
    }
    if (all) {
      m.shared.clear();
      m.shared.shrink_to_fit();
    }
  }
  m.open = true;
  return 0;
}

namespace spell_detail {

ErrorCode bucket_bytes(SpellMainIndex& m, int b, std::span<const uint8_t>* out) {
  *out = {};
  if (b < 0 || b >= kSpellBuckets || !m.open) return ERR_READ_MAIN_DICTIONARY;
  const uint16_t size = m.sizes[b];
  if (size == 0) return 0;
  if (m.held[b]) {
    *out = {m.held[b].get(), size};
    return 0;
  }
  ErrorCode err = 0;
  if (!m.memory_full && hold_bucket(m, b, &err)) {
    *out = {m.held[b].get(), size};
    return 0;
  }
  if (err != 0) return err;
  if (m.shared_bucket != b) {
    if (m.shared.size() < size) return ERR_READ_MAIN_DICTIONARY;
    m.shared_bucket = -1;
    if (!read_at(m, b, m.shared.data())) return ERR_READ_MAIN_DICTIONARY;
    m.shared_bucket = b;
  }
  *out = {m.shared.data(), size};
  return 0;
}

Segments segments_of(const SpellMainIndex& m, int b, std::span<const uint8_t> bytes) {
  const size_t size = bytes.size();
  const size_t split = std::min<size_t>(m.splits[b], size);
  Segments s;
  // Index 0 of the bucket and the byte at the split are passed over.
  s.first = size > 1 && split > 1 ? bytes.subspan(1, split - 1) : std::span<const uint8_t>{};
  const size_t second = std::max<size_t>(split + 1, 1);
  s.second = second < size ? bytes.subspan(second) : std::span<const uint8_t>{};
  return s;
}

}  // namespace spell_detail
