// Operating-system layer: the one place that talks to Linux about files,
// directories, paths, processes and time.
//
// Everything works on NUL-terminated strings and plain integers (the
// file-name layer, base/filename.h, wraps it for counted strings). Failures
// never raise: each operation returns an ErrorCode in the DOS numbering of
// the message table (-2 "File not found", -3 "Path not found", -5 "Access
// denied", ...), mapped from errno with a default of its own. File offsets
// and sizes are 64-bit throughout.
//
// Paths are never cut to fit: a name or join that would not fit its buffer
// is refused with -3, so an operation never acts on a different, shorter name.
//
// Environment lookups go through base/env_port.h (the macro runtime's own
// copy of the environment) and directory-search wildcards through
// base/find_pattern_port.h (the regular-expression engine).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string_view>

#include "base/messages.h"

// ---------------------------------------------------------------------------
// Records

// The date of a file, local time.
struct FileTime {
  uint16_t ms;  // milliseconds within the minute (seconds x 1000)
  uint8_t minute;
  uint8_t hour;
  uint8_t day;    // day of month
  uint8_t month;  // 1..12
  uint16_t year;  // full year, e.g. 1997
};
static_assert(sizeof(FileTime) == 8);

// The current date and time, local time. Note year counts from 1900 here but
// is the full year in FileTime.
struct SysTime {
  uint16_t year;   // years since 1900
  uint16_t month;  // 1..12
  uint16_t day;
  uint16_t hour;
  uint16_t minute;
  uint16_t ms;       // seconds x 1000 + microseconds / 1000
  uint16_t weekday;  // 0 = Sunday
};

// Mode bit added to a dangling symbolic link's mode (link type 0xA000 | this
// gives a type that is neither file nor directory).
inline constexpr uint32_t OS_MODE_DANGLING = 0x4000;
inline constexpr uint32_t OS_TYPE_MASK = 0xF000;
inline constexpr uint32_t OS_TYPE_DIR = 0x4000;

// One match of a directory search.
struct FindData {
  FileTime created;  // all three hold the modification time
  FileTime accessed;
  FileTime written;
  int64_t size;    // bytes
  uint32_t mode;   // stat mode bits (+ OS_MODE_DANGLING for a dangling link)
  char name[256];  // without the directory
};

// Open attributes shared between os_open and the file savers.
struct OsOpenState {
  uint8_t keep_mode;      // mode 1: apply mode_to_keep to the new file
  uint16_t mode_to_keep;  // permission bits
  uint8_t keep_owner;     // mode 1: apply uid/gid_to_keep
  uid_t uid_to_keep;
  gid_t gid_to_keep;
  uint32_t open_state;    // last mode-0 open: 0 read/write, 3 read-only fallback, 2 lock refused
  uint8_t root_override;  // last mode-0 open fell back for the super-user (owner write bit clear)
  uint8_t no_lock;        // mode 0 skips the region lock (start options +sul / -sul)
};
extern OsOpenState os_open_state;

// ---------------------------------------------------------------------------
// Environment

// The value after '=' of a variable, or null when absent (env_lookup).
const char* os_env_get(const char* name);

// ---------------------------------------------------------------------------
// errno mapping

// 0 -> 0; ENOENT -2; ENOMEM -8; EACCES, EPERM, ETXTBSY -5; ENOTDIR and
// ENAMETOOLONG -3; ENFILE, EMFILE -4; anything else `fallback`.
ErrorCode os_errno_code(int err, ErrorCode fallback);

// ---------------------------------------------------------------------------
// Path text

// Offset of the file-name part: one past the last '/' or backslash, else 0.
size_t os_path_name_offset(const char* path);
// The extension (from the last '.' with no '/' or backslash after it) into out
// of the given size; empty when none. Cut to size - 1 characters.
void os_path_extension(const char* path, char* out, size_t size);
// In place: 'P' drops the directory part; 'N' keeps only the directory part
// (with its final '/'); 'E' drops the extension; 'B' drops both. An extension
// of any length is removed whole.
void os_path_strip(char* path, char letter);
int os_drive_length(const char* path);  // always 0: no drive letters here
void os_fold_case(char* path);          // file names are case-sensitive: no change
void os_fold_case_n(char* bytes, size_t n);
// 1 when any of ? * ( ) [ ] ^ \ | occurs.
int os_has_wildcards(const char* path);
int os_has_wildcards_n(const char* bytes, size_t n);
int cstr_eq(const char* a, const char* b);
// value in the radix (digits "0123456789abcdef"), '-' before a negative value
// whose magnitude is taken unsigned. buffer must hold 34 bytes. Returns buffer.
char* cstr_itoa(int32_t value, char* buffer, int radix);
char* cstr_ltoa(int32_t value, char* buffer, int radix);

// ---------------------------------------------------------------------------
// Files. Handles are the system's descriptors, opened close-on-exec.

// Modes: 0 read/write an existing file, falling back to read-only (see
// OsOpenState); 1 create or truncate for saving, then apply the kept mode and
// owner best-effort (their failure never fails the open, since the target is
// already truncated); 2 create or truncate, 0644; 3 read/write existing; 4
// write-only existing. Returns the handle or an ErrorCode (default -32; -3
// when a missing name's directory does not exist either; -52 for another mode).
int os_open(const char* path, int mode);
// The ErrorCode of an open of path that failed with err: the mapped errno
// (default -32), or -3 for ENOENT when the name's directory is missing too.
ErrorCode os_open_error(const char* path, int err);
ErrorCode os_close(int handle);                              // 0 or -35
int64_t os_read(int handle, void* buffer, size_t n);         // bytes, or ErrorCode (default -33)
int64_t os_write(int handle, const void* buffer, size_t n);  // bytes, or ErrorCode (default -34)
// 0 when all n bytes were written; -36 when the disk filled up part-way; the
// mapped error of the failing write otherwise.
ErrorCode os_write_all(int handle, const void* buffer, size_t n);
// New offset (whence 0 start, 1 current, 2 end), -1 on failure.
off_t os_seek(int handle, off_t offset, int whence);
ErrorCode os_lock_region(int handle, int kind, off_t length);  // always 0
off_t os_file_size(const char* path);                          // -1 when it cannot be examined
int os_exists(const char* path);                               // 1 when stat works (any type)
ErrorCode os_delete(const char* path);                         // default -5
// Renames old_name to new_name without replacing an existing new_name (which
// gives -3). Note the order of the arguments. Default -3.
ErrorCode os_rename(const char* new_name, const char* old_name);
ErrorCode os_file_time(const char* path, FileTime* out);  // default -33
ErrorCode os_file_mtime(const char* path, time_t* out);   // default -33

// ---------------------------------------------------------------------------
// Directories, programs and the process

inline constexpr size_t OS_CWD_SIZE = 256;  // what os_getcwd's callers provide

ErrorCode os_chdir(const char* path);  // clears the cwd cache; default -3
// Drops the cached current directory (the file-name layer calls it when it
// changes directory itself).
void os_cwd_cache_clear();
// The current directory into out (out_size bytes, 256 by default); 0, or -3
// (out empty) when it cannot be read or does not fit.
ErrorCode os_getcwd(char* out, size_t out_size = OS_CWD_SIZE);
// Makes path absolute into out (out_size bytes). In path itself backslashes
// become '/' and surrounding double quotes are stripped. A name without a
// directory is joined to the current directory; otherwise its directory is
// resolved through symbolic links to the real directory. When the directory
// cannot be entered the result is path unchanged. 0, or -3 (out empty) when
// the result does not fit or the current directory cannot be read. The
// process's current directory is never changed.
ErrorCode os_absolute(char* out, size_t out_size, char* path);
// Finds name along a ':'-separated directory list (variable null: "PATH").
// 0 with the full name in out, else -2 (-3 for a name over 255 characters).
// Entries that would not fit out with
// the name are skipped, never cut.
ErrorCode os_search_env_path(char* out, size_t size, const char* name, const char* variable, int executable);
// The worker. *flag asks for the macro-aware search on entry and is 1 on
// return when ".e"/".ex" was added; *extra is set to 0.
ErrorCode os_search_env_path_ex(char* out, const char* name, const char* variable, int executable, size_t size,
                                int* flag, int* extra);
// Tests one candidate in path (buffer of size bytes); 0 or -18. A plain test
// (executable 0, or *flag 0 on entry) accepts an existing non-directory. The
// macro-aware test accepts an executable non-directory whose extension is not
// ".e"/".ex", else tries the name with ".e", then ".ex", in place of its
// extension (setting *flag to 1), and puts the extension back when neither
// exists. A candidate that would not fit the buffer is not tried.
ErrorCode os_try_candidate(char* path, size_t size, int executable, int* flag);
// The same two with the macro extensions given (the file-name layer passes
// the configured ones).
ErrorCode os_try_candidate_with(char* path, size_t size, int executable, int* flag, std::string_view source_ext,
                                std::string_view compiled_ext);
ErrorCode os_search_env_path_with(char* out, const char* name, const char* variable, int executable, size_t size,
                                  int* flag, int* extra, std::string_view source_ext, std::string_view compiled_ext);
// The command shell: SHELL when present (even empty), else "/bin/sh". 0, or
// -3 (out empty) when it does not fit.
ErrorCode os_shell(char* out, size_t size);
// Makes one directory with mkdir(2) (no shell); 0 or -38.
ErrorCode os_mkdir(const char* path);
// Removes one empty directory with rmdir(2); 0 or -3.
ErrorCode os_rmdir(const char* path);
int os_getpid();
// Waits for a child process to end: its exit code, the signal that ended
// it times 256, or -32 when the wait fails.
int32_t os_wait_child(pid_t pid);
void os_sleep_ms(int ms);
// Frequency 0 sleeps ms; anything else rings the bell on standard output.
void os_beep(int frequency, int ms);
void os_get_time(SysTime* out);
void os_filetime_to_systime(const FileTime* in, SysTime* out);  // no weekday
void os_systime_to_filetime(const SysTime* in, FileTime* out);
// The local FileTime of a time in seconds since 1970.
void os_filetime_from_time(time_t t, FileTime* out);

// ---------------------------------------------------------------------------
// Directory search (DOS-style find handles)
//
// A pattern is a directory part (ending in '/', or empty for the current
// directory) and a wildcard name part, which becomes an expression: '*'
// (unless after a backslash) becomes "?*", each of + @ # $ { } ^ ~ : gets a
// backslash unless one precedes it, all else is copied, all between "^" and
// "$". The attribute mask reports directories too when its type bits
// (0xF000) equal 0x4000.
//
// Handles are 1-based. Passing -1 gets a fresh handle; passing anything else
// uses the shared handle 1 (after closing the search that handle named).

// Statuses (positive, DOS-style). FIND_BAD_PATTERN and FIND_TOO_LONG are ours:
// a wildcard that does not compile matches nothing, and a pattern whose
// directory does not fit is refused.
inline constexpr int FIND_NOT_FOUND = 2;
inline constexpr int FIND_TOO_LONG = 3;
inline constexpr int FIND_TOO_MANY = 4;
inline constexpr int FIND_DENIED = 5;
inline constexpr int FIND_NO_MEMORY = 8;
inline constexpr int FIND_NO_MORE = 18;
inline constexpr int FIND_BAD_PATTERN = 2500;

inline constexpr size_t OS_EXPR_MAX = 1023;  // longest expression made from a wildcard

// Builds the expression for a wildcard name into out; false when it would
// pass OS_EXPR_MAX characters (the pattern is then refused, not cut).
bool os_wildcard_to_expr(std::string_view wildcard, char* out, size_t out_size);
// 1 when the compiled wildcard expression matches name (the "^?*$" fast path
// compiles nothing). -2500 when the expression does not compile.
int os_wildcard_match(std::string_view expr, std::string_view name);

int os_find_first(const char* pattern, int* handle, uint32_t attr, FindData* out);
// The next match; 0 or a status (18 at the end). A search that has ended
// gives its directory stream back at once; its handle stays valid (and keeps
// answering 18) until os_find_close.
int os_find_next(int handle, FindData* out);
void os_find_close(int handle);  // handles 1 and -1 are ignored
// Ends every search, the shared one too (when the searches' owner goes).
void os_find_close_all();
// os_find_first on path; the name part of path (a buffer of path_size bytes)
// is replaced by the match, with '/' appended for a directory. On failure the
// handle becomes -1 and the result is -2 (status 2), -3 (status 3 or a match
// that would not fit path), -2500 (bad wildcard), else -18.
ErrorCode os_find_first_path(int* handle, char* path, size_t path_size, uint32_t attr);
ErrorCode os_find_next_path(int handle, char* path, size_t path_size);
void os_closedir(void* stream);
// Number of searches with an open directory stream (for leak checks in tests).
int os_find_open_streams();
