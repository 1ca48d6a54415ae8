// The edit command: a command line of file names and "+x"/"-x" options. Each
// file name is made absolute and edited at once with the options seen so far:
// a window is found or requested, a buffer is reused or created (the file
// loaded), and a view of it is attached to the current window.
//
// Start reading at buf_edit_command.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/messages.h"
#include "text/buffer.h"

// Edit flags (one word per command; options set or clear them for the files
// that follow).
inline constexpr uint32_t kEditTemp = 1;           // T: no file is read
inline constexpr uint32_t kEditNoSave = 2;         // M: the view is re-pointed without saving its place
inline constexpr uint32_t kEditSwitch = 4;         // W: switch to a window showing the file
inline constexpr uint32_t kEditNewBuffer = 16;     // D: always a new buffer
inline constexpr uint32_t kEditNewView = 32;       // C: a new view of the buffer
inline constexpr uint32_t kEditNoReread = 64;      // S: evicted pages spill instead of being read again
inline constexpr uint32_t kEditWhole = 128;        // L: read the whole file now
inline constexpr uint32_t kEditQuiet = 256;        // Q: errors only to rc
inline constexpr uint32_t kEditReplace = 512;      // R: the current buffer takes the file's text
inline constexpr uint32_t kEditExpand = 1024;      // E: expand tabs while loading
inline constexpr uint32_t kEditUndo = 2048;        // U: undo on
inline constexpr uint32_t kEditReadOnly = 4096;    // N: keep the read-only state, keep the file open
inline constexpr uint32_t kEditReadWhole = 8192;   // A: with N, a read-only file is read whole
inline constexpr uint32_t kEditEolGiven = 16384;   // F: the end of line is given
inline constexpr uint32_t kEditMoveAfter = 32768;  // B with P: a found buffer or window moves after the current
inline constexpr uint32_t kEditView = 65536;       // V: a view was named

inline constexpr int32_t kDefaultUndoSteps = 32000;
inline constexpr int32_t kMaxRecordLength = 1022;

// A new window's requested place, kept for the window layer to create it
// (edit_window_new, text/edit_window_port.h).
struct EditPlacement {
  bool requested = false;
  int32_t x = 0x7fffffff, y = 0, width = 0, height = 0;
  char show = 0;  // 0 none, 'M' maximised, 'I' iconic, 'N' normal
};
extern EditPlacement edit_placement;

// The flags of the last command (bi_edit reads Q from it).
extern uint32_t edit_flags;

// Runs an edit command. Returns 0, -2016 "New file" when the last file did
// not exist (a buffer without file was made), or the error that ended the
// command: -3030 a malformed option, -3015 a bad view or buffer handle, -2 a
// "+B" name that names no buffer, -2009, -2010, -2028, or a load error.
// Files edited before the error stay.
ErrorCode buf_edit_command(std::string_view cmd);
