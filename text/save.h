// Saving a buffer to its file or another name, with backups.
//
// Safety rule: a save never leaves the user with neither the old nor the new
// text. A regular file is written to a temporary file "$s<n>" in the target's
// directory, flushed to disk and renamed over the target (rename(2) replaces
// atomically, so the target name always names a complete file). A symbolic
// link is followed to the file it names, which is saved that way; the link
// stays. A backup is made as a new name renamed over the previous backup.
// A file that must keep its inode - several hard links, in-place saving on,
// the super-user over a read-only file - is written in place only after a
// copy of it is secured and synced (the backup, or "<file>.$s<n>" beside
// it); that copy is kept until the new text is complete and synced, and a
// failure while writing in place puts it back. A target that is not a
// regular file (a FIFO or a character device) is written directly and never
// renamed over; other kinds are refused. No error path deletes or truncates
// the target, and none leaves a temporary file behind.
//
// A buffer that still reads its text lazily from the old file keeps its open
// descriptor: the old file survives a rename as long as it is open. An
// in-place write detaches every buffer reading from the target first, and
// fails when one cannot let go. A save over the buffer's own file that
// changed on disk since the buffer loaded or saved it asks the user first.
//
// Another program may change the files while a save runs. Every read and
// copy of unread text is checked against the source's stamp before and
// after, and the source and the target are looked at again before the new
// text takes the target's place: a buffer whose unread text went with a
// changed source is never saved as the part it holds, and a target that
// changed meanwhile is replaced only when the user says so.
//
// Start reading at buf_save_buffer.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "base/messages.h"
#include "text/buffer_rec.h"

// Save flags (letters after "+" set, after "-" clear).
inline constexpr uint32_t kSaveRaw = 1;         // B: no end-of-line bytes, no tab or blank processing
inline constexpr uint32_t kSaveNoBackup = 2;    // O
inline constexpr uint32_t kSaveEntab = 4;       // T
inline constexpr uint32_t kSaveDir = 8;         // D alone: global backup directory without the path
inline constexpr uint32_t kSaveCtrlZ = 16;      // Z: Ctrl-Z after the last line of a CR LF buffer
inline constexpr uint32_t kSaveExpand = 32;     // E
inline constexpr uint32_t kSaveAbsolute = 64;   // A
inline constexpr uint32_t kSaveStrip = 128;     // S: trailing blanks go, in the file and the buffer
inline constexpr uint32_t kSaveRootOver = 256;  // U: the super-user may save over a read-only file
inline constexpr uint32_t kSaveDefaults = kSaveStrip | kSaveAbsolute;

// Settings read by saving (the start-up configuration sets them).
struct SaveSettings {
  bool in_place = false;  // the save-direct start option
  bool sync = true;       // flush new files to disk before they replace the old ones
};
extern SaveSettings save_settings;

// The backup name of a file: style 'K' <dir>/backup/<name>, 'B' the extension
// replaced by ".BAK", 'S' the global backup directory + the full path without
// its leading "/" (with kSaveDir only the name). The global directory is
// ZORVEXBACKUP, else $HOME/.zorvex/backup/.
std::string buf_backup_name(std::string_view file, char style, uint32_t flags);

// Creates a directory and its missing parents with mkdir(2); 0 or -38.
ErrorCode file_make_dirs(std::string_view path);

// Entabs one line: 8-byte chunks whose kept part (up to its last non-blank)
// is 6 bytes or fewer become that part plus a tab; a chunk with a quote in
// its kept part ends entabbing for the rest of the line; the last 8 bytes or
// fewer are copied. Returns the new length (never more than len).
int32_t entab_line(char* out, const char* text, int32_t len);

// 1 when the file is a symbolic link or has more than one hard link (also
// when lstat fails for another reason than its absence); 0 otherwise.
int file_is_link(const char* name);

// Copies (copy true) or moves a file, replacing the destination and making
// its missing directories; a move that cannot rename copies. 0, -2101 or
// -2105 (msg_arg and msg_arg2 hold the names).
ErrorCode buf_copy_or_move(const char* dest, const char* src, bool copy, bool delete_source);

// Every buffer whose source is the named file (by device and inode) reads its
// unread blocks and lets the file go; one whose source changed since loading
// has nothing more to read. 0, or the first error (a failed read or spill
// write), with that buffer still reading from the file.
ErrorCode buffers_detach_from(const char* name);

// Saves buf. cmd holds option words ("+ST", "-S", "+DK", ...) and at most one
// file name (the last word counts); no name: the buffer's name. Returns 0 or:
// -3030 a bad option letter, -2008 no name, -5 a read-only target (unless U
// as the super-user) or a target that is neither a regular file, a FIFO nor
// a character device, -2038 the user declined to save over a file changed
// on disk (before or while the save ran), -33 part of the text was still to
// be read from a file that another program changed (before or while the
// save ran: that text is gone, and no save of the buffer can succeed), -3015
// temporary name equal to the target, -2101/-2105 a failed backup, or a file
// error (-32, -34, -36, ...). On every failure the target is as it was and
// the buffer unchanged (still modified).
ErrorCode buf_save_buffer(BufferRec* buf, std::string_view cmd);
// buf_save_buffer on the current buffer after flushing the current line;
// -2073 without a view.
ErrorCode buf_save(std::string_view cmd);
