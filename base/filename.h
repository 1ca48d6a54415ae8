// File-name layer: file and directory operations on counted strings (LStr),
// the form in which macros and the text engine hold file names.
//
// Most operations turn the name into a NUL-terminated path and call the
// operating-system layer (base/os.h), returning its ErrorCode unchanged. A
// name that cannot be passed on whole - longer than the system allows, or
// holding a NUL byte - is refused with -3 ("Path not found"); it is never cut
// to a different, shorter name. Results that do not fit the caller's
// capacity are refused with -3 as well.
//
// On top of that: the search along ZORVEXPATH and PATH that knows about macro
// source and compiled modules, relative names, and the directory listing
// (flat or recursive, short or "ls -l"-like lines) with a guard against
// symbolic-link loops.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/lstr.h"
#include "base/messages.h"
#include "base/os.h"

// Extensions of macro source and compiled modules (".e" and ".ex" unless the
// start-up configuration sets them from ZORVEXEXT). Compared byte for byte.
inline constexpr int32_t MACRO_EXT_CAP = 12;
extern LStrBuf<MACRO_EXT_CAP> macro_source_ext;
extern LStrBuf<MACRO_EXT_CAP> macro_compiled_ext;

// ---------------------------------------------------------------------------
// Names and paths

int file_open(const LStr* name, int mode);  // os_open: handle or ErrorCode
int file_exists(const LStr* name);          // 1 or 0
// The absolute name (os_absolute) into out of capacity cap; 0 or -3.
ErrorCode file_absolute(LStr* out, const LStr* name, int32_t cap = LSTR_CAP_NAME);
// name relative to the current directory, into out (capacity cap): the
// current directory's own prefix is removed from an absolute name inside
// it; any other name is copied as it is. Double quotes around name are
// stripped in name itself. Always 0.
ErrorCode file_relative(LStr* out, LStr* name, int32_t cap = LSTR_CAP_LINE);
// The current directory into out; 0, or -3 when it does not fit cap.
ErrorCode file_getcwd(LStr* out, int32_t cap = LSTR_CAP_NAME);
ErrorCode file_chdir(const LStr* name);  // os_chdir on the name as it is
// After stripping double quotes around name (in name itself): 0 delete the
// file (default -5), 1 make the directory (-38), 2 change to it (-3),
// 3 remove the directory (-3). Directories are made and removed with the
// system calls, never through a shell. -52 for another op.
ErrorCode file_dir_op(int op, LStr* name);
int file_drive_length(const LStr* name);  // 0
// Characters up to and including the last '/' (only '/' counts), 0 if none.
int32_t file_dir_length(const LStr* name);
// The extension (from the last '.' with no '/' or backslash after it) into
// out, cut to cap; empty when there is none.
void file_extension(const LStr* name, LStr* out, int32_t cap);
// 'P' removes the directory part, 'E' the extension (however long), any
// other letter both.
void file_strip(LStr* name, char letter);
// Takes the first file name off a command line: a name in double quotes may
// hold blanks and loses its quotes (an unclosed one runs to the end); else
// the first blank-delimited word. The name and the blanks after it leave
// line. 0, or -3 when the name would not fit out (cap): then out is empty
// and line unchanged.
ErrorCode file_take_name(LStr* line, LStr* out, int32_t cap = LSTR_CAP_LINE);
// Puts a double quote before and after name; -3 (name unchanged) when the
// result would not fit cap.
ErrorCode file_quote(LStr* name, int32_t cap);
int file_name_eq(const LStr* a, const LStr* b);  // byte for byte
void file_fold_case(LStr* name);                 // no change: names are case-sensitive
int file_has_wildcards(const LStr* name);
// Starts a directory search (os_find_first_path) for the pattern in name;
// on success name becomes the path of the first match ('/' after a
// directory). 0, -2, -18, -3 (pattern or match too long for cap) or -2500.
ErrorCode file_find_first(int* handle, LStr* name, uint32_t attr, int32_t cap = LSTR_CAP_NAME);
// The next match replaces the file-name part of name. 0, -2, -3 or -18.
ErrorCode file_find_next(int handle, LStr* name, int32_t cap = LSTR_CAP_NAME);

// ---------------------------------------------------------------------------
// Searches. *flag asks on entry for the macro-aware search (see
// os_try_candidate, with the configured extensions) and is 1 on return when
// an extension was added; *extra is set to 0.

// Along ZORVEXPATH when that is set and finds the file, else along PATH.
// 0 with the full name in out, else the last search's result.
ErrorCode file_search_path(LStr* out, const LStr* name, int executable, int32_t cap, int* flag, int* extra);
// Along the directories of the named variable: 0, -2, or -18 when the
// variable is absent and the name itself does not do.
ErrorCode file_search_env_path(LStr* out, const LStr* name, const LStr* variable, int executable, int32_t cap,
                               int* flag, int* extra);
// Tests one candidate; 0 or -18.
ErrorCode file_try_candidate(LStr* path, int32_t cap, int executable, int* flag);

// ---------------------------------------------------------------------------
// Directory listing

inline constexpr uint32_t DIRLIST_RECURSE = 1;      // into subdirectories
inline constexpr uint32_t DIRLIST_WITH_DIR = 2;     // the directory before each name
inline constexpr uint32_t DIRLIST_LONG = 4;         // long lines
inline constexpr uint32_t DIRLIST_LEAD_BLANK = 64;  // one blank before a short line

// Receives each finished line (capacity 1024); its result is ignored.
using DirListConsumer = int (*)(const LStr* line, void* user);

// Lists the entries of directory (empty, or ending in '/') that match
// pattern, one line each through consumer. 0 when at least one line was
// delivered, -2 when none, or the negated status of a failed search (-2, -3,
// -4, -5, -8, -2500). A recursive listing enters every subdirectory except
// "." and "..", and except a symbolic link to a directory listed already in
// this run; a subdirectory whose path would pass 1023 characters is skipped.
// The arguments are left unchanged.
ErrorCode dirlist_run(const LStr* directory, const LStr* pattern, uint32_t flags, DirListConsumer consumer,
                      uint32_t attr, void* user = nullptr);
// One long line into line (capacity 1024): two blanks, size/date/time/mode
// fields, blanks up to column 42, then directory (when not null) and name.
void file_list_line(LStr* line, const char* directory, const FindData* fd);
// Appends the size (or " <DIR>   "), date, time and mode fields.
void file_list_size_date(LStr* line, const FindData* fd);
// The ten-character mode text ("drwxr-xr-x") into out (11 bytes with NUL).
void file_mode_string(char* out, const FindData* fd);
