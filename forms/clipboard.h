// The macro clipboard: selected text, and controls of the form designer.
//
// Text goes under the window system's plain text format (the text, lines
// ended by LF, then one NUL kept with the data) and under "Zorvex Text" (one
// NUL-terminated header line: "pid=N line", "pid=N char" or "pid=N block W").
// Controls go under "Zorvex Controls" as one block, every word little-endian
// 32-bit:
//
//   0        object count N (top-level objects)
//   4        records offset R = 16 + 4N
//   8        record count C
//   12 + 4i  first record of object i
//   12 + 4N  a spare word
//   R        C records of 120 bytes (the objects' property blocks; next and
//            child are record numbers relative to the object's first
//            record; each of the ten string properties holds the offset of
//            its string from the start of the block)
//   R + 120C the string area: per record, per string property, a 32-bit
//            length and the bytes, padded to a multiple of 4
//   end      one NUL
//
// The data travel over the X selections PRIMARY and CLIPBOARD while the
// window system has its display; a program without one keeps them in
// memory, as it has nothing else.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "macro/opcodes.h"
#include "macro/window_port.h"
#include "text/prop_block.h"

enum class ClipFormat : uint8_t { Text = 1, ZorvexText = 2, ZorvexControls = 3 };

// Empties the clipboard, then stores each format's data (taken whole).
// 0, or -2085 "Unable to get clipboard data" when it cannot be owned.
int32_t clip_put(std::span<const std::pair<ClipFormat, std::string>> data);
// The data of a format: 0 with *out filled, or -2085 when there is none.
int32_t clip_get(ClipFormat format, std::string* out);
bool clip_available(ClipFormat format);

// Putting a copied selection's text with its header line (clip_put_text)
// is the text built-ins' port, macro/window_port.h: 0 or clip_put's error.

// Puts a control block (clip_write_controls) under "Zorvex Controls".
// 0 or clip_put's error.
int32_t clip_put_controls(std::span<const uint8_t> block);

// Pastes the plain text at the cursor of the current window's view: CR
// dropped, a line ended by LF or on reaching 1021 bytes; the first pasted
// line joins the text before the cursor, the last the text after it, and
// the cursor lands after the pasted text. 0, or clip_get's error; -2073
// without a view.
int32_t clip_paste_text();

// The string properties a control record carries, in block order.
inline constexpr std::array<uint32_t, 10> kClipStringProps = {25, 26, 28, 29, 30, 52, 86, 92, 93, 162};
inline constexpr uint32_t kClipRecordBytes = 120;

// One copied object and its subtree, records in depth-first order.
struct ClipRecord {
  PropertyBlock block{};                // next and child relative to the object's first record
  std::array<std::string, 10> strings;  // the values of kClipStringProps
};
struct ClipObject {
  std::vector<ClipRecord> records;
};

// The control block of the objects; empty when its string area would reach
// past the 64 KB that the 16-bit string fields can address.
std::vector<uint8_t> clip_write_controls(std::span<const ClipObject> objects);
// Reads a control block: 0 with *out filled, or -2085 for a block that is
// malformed (a count, offset, link or string that does not fit it). Nothing
// is read past the block's end.
int32_t clip_read_controls(std::span<const uint8_t> block, std::vector<ClipObject>* out);

// Binds the built-ins (paste, format queries) and installs the text
// copy's clipboard seam.
BindResult clip_register_opcodes(OpcodeDispatch& d);
