// File built-ins: deleting, copying and dating files, making and removing
// directories, the spill directory and memory limits, dates and times,
// delays, raw reads and writes on open handles, host and domain names.
//
// Copies never put the destination at risk: the data goes into a new file
// beside the destination, which is renamed over it only once it is
// complete, so a failed copy leaves the destination as it was. A symbolic
// link is followed to the file it names, which is replaced and the link
// kept; a FIFO or character device is written into, never replaced; any
// other kind of node is refused.
//
// Waiting belongs to the editor services, which poll the child processes
// meanwhile (proc_port.h); the current time is the system's, and tests may
// put a clock of their own in its place.
#pragma once

#include <cstdint>

#include "base/lstr.h"
#include "base/messages.h"
#include "base/os.h"

// The settings these built-ins read and change; the start-up fills them from
// the state file.
inline constexpr int32_t kSpillDirCap = 255;  // longest spill directory, its '/' included
struct FileBiSettings {
  LStrBuf<kSpillDirCap> spill_dir;  // ends in '/' when not empty
  int32_t page_cache_kb = -1;       // memory limit of the text store last accepted, -1 none
  int32_t code_cache_bytes = 204800;
};
extern FileBiSettings file_bi_settings;

// Cache-size arguments at or above this count as "no limit".
inline constexpr int32_t kCacheNoLimitFrom = 32767;
// The code-cache limit is never set below this many KB.
inline constexpr int32_t kCodeCacheMinKb = 150;
// Longest raw read, and the largest copy buffer (and the one used when that
// cannot be had).
inline constexpr int32_t kFileReadMax = 1024;
inline constexpr size_t kCopyChunk = 32000;
inline constexpr size_t kCopyChunkFallback = 2000;

// The clock the date and time built-ins read: the current local date and
// time. Null puts the system's clock back.
using FileBiClock = void (*)(SysTime* out);
void file_bi_set_clock(FileBiClock now);

// Copies source to destination (blanks, then double quotes, stripped from
// both ends of each), giving the copy the source's permissions and, as far
// as the system allows, its owner; with keep_time also its access and
// modification times. 0, -5 when the destination is read-only or not a
// file, -32 for a loop of links, the open or read error of the source (-33
// when its status cannot be read), or the write error (-34 by default). On
// failure the destination is unchanged.
ErrorCode file_copy(const LStr* source, const LStr* destination, bool keep_time);

// month "/" day "/" year since 1900, as plain numbers: "3/9/96", "1/2/125".
void date_text(LStr* out, int32_t cap, const SysTime& t);
// Year, month, day, hour, minute (two digits each after the year) and the
// milliseconds within the minute (five digits): a text that sorts by time.
void datetime_key_text(LStr* out, int32_t cap, const FileTime& t);
// The time of day: 'T' "h:mmam" (12-hour, hour 0 as 12), 'M' "hh:mm:ss",
// 'B' the milliseconds since midnight.
void time_text(LStr* out, int32_t cap, const SysTime& t, char option);
