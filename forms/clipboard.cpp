// The macro clipboard (see clipboard.h). Start reading at clip_paste_text,
// then clip_read_controls.
#include "forms/clipboard.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

#include "base/le.h"
#include "base/messages.h"
#include "forms/clip_controls.h"
#include "forms/designer.h"
#include "forms/objects.h"
#include "forms/prop_table.h"
#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/opcodes.h"
#include "macro/stack.h"
#include "text/buffer.h"
#include "text/curline.h"
#include "text/cursor.h"
#include "text/store_edit.h"
#include "text/tabs.h"
#include "winsys/selection.h"
#include "winsys/xfsys.h"

namespace {

// ---- in memory, without a display ----------------------------------------------------

std::map<ClipFormat, std::string> held;

int32_t memory_put(std::span<const std::pair<ClipFormat, std::string>> data) {
  held.clear();
  for (const auto& [f, d] : data) held[f] = d;
  return 0;
}
int32_t memory_get(ClipFormat f, std::string* out) {
  const auto it = held.find(f);
  if (it == held.end()) return ERR_GET_CLIPBOARD_DATA;
  *out = it->second;
  return 0;
}
bool memory_available(ClipFormat f) { return held.count(f) != 0; }

// ---- the X selections ----------------------------------------------------------------

Atom x_format(ClipFormat f) {
  switch (f) {
    case ClipFormat::Text:
      return 1;  // the window system's plain text
    case ClipFormat::ZorvexText:
      return xfRegisterClipFormat("Zorvex Text");
    case ClipFormat::ZorvexControls:
      return xfRegisterClipFormat("Zorvex Controls");
  }
  return 0;
}

int32_t x_put(std::span<const std::pair<ClipFormat, std::string>> data) {
  for (XfSel sel : {XfSel::primary, XfSel::clipboard}) {
    xf_sel_empty(sel);
    for (const auto& [f, d] : data)
      if (xf_sel_set(sel, x_format(f), d.data(), d.size()) != 0) return ERR_GET_CLIPBOARD_DATA;
  }
  return 0;
}

// Set when a selection's owner left a request unanswered, so that a paste
// that found nothing says the clipboard could not be read.
bool owner_stalled = false;

// CLIPBOARD first (what other programs' copy commands set), else PRIMARY.
int32_t x_get(ClipFormat f, std::string* out) {
  std::vector<uint8_t> bytes;
  for (XfSel sel : {XfSel::clipboard, XfSel::primary}) {
    if (xf_sel_get(sel, x_format(f), &bytes) == 0) {
      out->assign(bytes.begin(), bytes.end());
      return 0;
    }
    owner_stalled = owner_stalled || xf_sel_stalled(sel);
  }
  return ERR_GET_CLIPBOARD_DATA;
}

bool x_available(ClipFormat f) {
  for (XfSel sel : {XfSel::clipboard, XfSel::primary}) {
    if (xf_sel_available(sel, x_format(f)) != 0) return true;
    owner_stalled = owner_stalled || xf_sel_stalled(sel);
  }
  return false;
}

}  // namespace

int32_t clip_put(std::span<const std::pair<ClipFormat, std::string>> data) {
  return xf_display() ? x_put(data) : memory_put(data);
}
int32_t clip_get(ClipFormat format, std::string* out) {
  return xf_display() ? x_get(format, out) : memory_get(format, out);
}
bool clip_available(ClipFormat format) { return xf_display() ? x_available(format) : memory_available(format); }

namespace {

// ---- text ----------------------------------------------------------------------------

constexpr size_t kPasteLineMax = 1021;

// The display width of text with the buffer's tab stops.
int32_t width_of(std::string_view text, const TabStops& ts) { return tab_convert_column(text, 0, 'L', ts); }

// A data's text without the NUL its writer stored after it.
std::string_view without_nul(std::string_view s) {
  if (!s.empty() && s.back() == '\0') s.remove_suffix(1);
  return s;
}

// ---- controls ------------------------------------------------------------------------

// The string properties are 16-bit fields: a block whose string area
// reaches past 64 KB cannot name its strings.
constexpr size_t kMaxStringOffset = 0xFFFF;

void put_u32(std::vector<uint8_t>& b, size_t at, uint32_t v) { le::put_u32(b.data() + at, v); }

// One object's records form a tree from record 0: a form or control at the
// top, controls below (a combo box has none: its parts are made again),
// every child ring closing on its first child, every record reached once.
bool sound_tree(const std::vector<ClipRecord>& recs) {
  const size_t n = recs.size();
  auto control = [](uint16_t t) { return t >= kObjText && t <= kObjSpin; };
  if (n == 0 || !(recs[0].block.type == kObjForm || control(recs[0].block.type))) return false;
  std::vector<uint8_t> seen(n, 0);
  seen[0] = 1;
  size_t reached = 1;
  std::vector<uint16_t> todo{0};
  while (!todo.empty()) {
    const uint16_t parent = todo.back();
    todo.pop_back();
    const uint16_t first = recs[parent].block.child;
    if (first == 0) continue;
    if (recs[parent].block.type == kObjCombo) return false;
    uint16_t r = first;
    do {
      if (r >= n || seen[r] || !control(recs[r].block.type)) return false;
      seen[r] = 1;
      ++reached;
      todo.push_back(r);
      r = recs[r].block.next;
    } while (r != first);
  }
  return reached == n;
}

// ---- built-ins -----------------------------------------------------------------------

bool has_header() { return clip_available(ClipFormat::ZorvexText); }

// Ext 123: [one argument, ignored].
void bi_paste() {
  int32_t n = 0;
  if (!bi_count(0, 1, &n)) return;
  core_drop(n);
  line_flush_current();
  owner_stalled = false;
  if (clip_available(ClipFormat::Text)) {
    if (!bi_need_view()) return;
    vm_set_rc_or_raise(clip_paste_text());
    return;
  }
  if (clip_available(ClipFormat::ZorvexControls)) {
    WindowObject* cur = obj_owner_or_self(window_current());
    if (!clip_controls_allowed(cur)) return vm_raise_fatal(ERR_NOT_ALLOWED_ON_OBJECT);
    obj_tree_set_selected(obj_top_level(cur), 0);
    std::string data;
    std::vector<ClipObject> objects;
    if (clip_get(ClipFormat::ZorvexControls, &data) != 0 ||
        clip_read_controls(std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size()), &objects) != 0) {
      vm_set_rc(ERR_GET_CLIPBOARD_DATA);
      return;
    }
    vm_set_rc(clip_paste_controls(objects));
    return;
  }
  // An owner that does not answer may hold anything: nothing is pasted and
  // rc says the clipboard could not be read.
  if (owner_stalled) return vm_set_rc(ERR_GET_CLIPBOARD_DATA);
  vm_raise_fatal(ERR_CLIPBOARD_FORMAT);
}

// Ext 124: format -> 1 or 0, or the text's header line.
void bi_clipboard_has_format() {
  if (!core_have(1)) return;
  const std::string f(bi_strip_blanks(bi_arg(1, 0)));
  core_drop(1);
  std::string upper = f;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "ZXTEXT") {
    std::string header;
    if (has_header() && clip_get(ClipFormat::ZorvexText, &header) == 0) {
      vm_push_view(without_nul(header).substr(0, LSTR_CAP_LINE));
      return;
    }
    vm_push_int(clip_available(ClipFormat::ZorvexText) ? 1 : 0);
    return;
  }
  if (upper == "ZXCONTROLS") {
    vm_push_int(clip_available(ClipFormat::ZorvexControls) ? 1 : 0);
    return;
  }
  const bool number = !f.empty() && std::all_of(f.begin(), f.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!number) {
    vm_push_view({});
    vm_raise_error(ERR_INVALID_ARGUMENT);
    return;
  }
  vm_push_int(f == "1" && clip_available(ClipFormat::Text) ? 1 : 0);
}

// Ext 125: -> 1 when neither text nor controls are held.
void bi_clipboard_empty() {
  const bool any = clip_available(ClipFormat::Text) || clip_available(ClipFormat::ZorvexControls);
  vm_push_int(any ? 0 : 1);
}

}  // namespace

// The copy built-ins' clipboard (macro/window_port.h).
int32_t clip_put_text(std::string_view header, std::string_view text) {
  const std::array<std::pair<ClipFormat, std::string>, 2> data = {{
      {ClipFormat::Text, std::string(text) + '\0'},
      {ClipFormat::ZorvexText, std::string(header) + '\0'},
  }};
  return clip_put(data);
}

int32_t clip_put_controls(std::span<const uint8_t> block) {
  const std::array<std::pair<ClipFormat, std::string>, 1> data = {{
      {ClipFormat::ZorvexControls, std::string(block.begin(), block.end())},
  }};
  return clip_put(data);
}

int32_t clip_paste_text() {
  if (!view_select_current()) return ERR_NOT_ALLOWED_ON_OBJECT;
  PosRecord* v = view_snap.view;
  BufferRec* b = view_snap.buffer;
  b->redraw = 1;
  if (v->block == b->first_block && v->index == 0) return 0;  // the top-of-file line
  std::string data;
  if (const int32_t e = clip_get(ClipFormat::Text, &data)) return e;
  const std::string_view text = without_nul(data);
  if (const int32_t e = line_load_current()) return e;
  const TabStops ts = tab_stops_current();
  // Head: the columns before the cursor. The cursor's column is a display
  // column: its byte is found through the tab stops (a tab it stands inside
  // becomes blanks, as for typing), and a cursor past the end pads with
  // blanks up to it.
  LStrLine split_line(current_line.text.view());
  const int32_t at = line_col_to_pos_split_tab(split_line, v->column, ts);
  const std::string line(split_line.view());
  const size_t split = std::min(line.size(), static_cast<size_t>(std::max(at - 1, 0)));
  std::string acc = line.substr(0, split);
  if (at - 1 > static_cast<int32_t>(line.size())) acc.append(static_cast<size_t>(at - 1) - line.size(), ' ');
  const std::string tail = line.substr(split);
  // Each finished line replaces the current one, and an empty line after it
  // becomes current for the next bytes.
  auto emit = [&]() -> int32_t {
    line_replace_current(acc.data(), static_cast<int32_t>(acc.size()));
    acc.clear();
    return line_insert_after_cursor("", 0);
  };
  for (char c : text) {
    if (c == '\r') continue;
    if (c != '\n') acc += c;
    if (c == '\n' || acc.size() >= kPasteLineMax) {
      if (const int32_t e = emit()) return e;
    }
  }
  const int32_t cursor = width_of(acc, ts);
  if (acc.size() + tail.size() > static_cast<size_t>(LSTR_CAP_LINE)) {
    // The text after the cursor would not fit behind the last pasted line:
    // it keeps a line of its own instead of being cut off.
    line_replace_current(acc.data(), static_cast<int32_t>(acc.size()));
    line_flush_current();
    if (const int32_t e = line_insert_text(tail.data(), static_cast<int32_t>(tail.size()), v, b)) return e;
    pos_prev_line(v, b);  // back onto the pasted text's line
    view_set_cursor_col(cursor);
    return 0;
  }
  acc += tail;
  line_replace_current(acc.data(), static_cast<int32_t>(acc.size()));
  view_set_cursor_col(cursor);
  return 0;
}

std::vector<uint8_t> clip_write_controls(std::span<const ClipObject> objects) {
  const uint32_t n = static_cast<uint32_t>(objects.size());
  uint32_t records = 0;
  size_t strings = 0;
  for (const ClipObject& o : objects) {
    records += static_cast<uint32_t>(o.records.size());
    for (const ClipRecord& r : o.records)
      for (const std::string& s : r.strings) strings += 4 + (s.size() + 3) / 4 * 4;
  }
  const uint32_t r_off = 16 + 4 * n;
  const size_t area = r_off + static_cast<size_t>(kClipRecordBytes) * records;
  std::vector<uint8_t> b(area + strings + 1, 0);
  put_u32(b, 0, n);
  put_u32(b, 4, r_off);
  put_u32(b, 8, records);
  uint32_t first = 0;
  for (uint32_t i = 0; i < n; ++i) {
    put_u32(b, 12 + 4 * i, first);
    first += static_cast<uint32_t>(objects[i].records.size());
  }
  size_t rec_at = r_off, str_at = area;
  for (const ClipObject& o : objects) {
    for (const ClipRecord& r : o.records) {
      PropertyBlock pb = r.block;
      for (size_t k = 0; k < kClipStringProps.size(); ++k) {
        if (str_at > kMaxStringOffset) return {};
        prop_set_field(pb, kClipStringProps[k], static_cast<uint32_t>(str_at));
        const std::string& s = r.strings[k];
        put_u32(b, str_at, static_cast<uint32_t>(s.size()));
        std::copy(s.begin(), s.end(), b.begin() + static_cast<ptrdiff_t>(str_at + 4));
        str_at += 4 + (s.size() + 3) / 4 * 4;
      }
      le::put_u16(b.data() + rec_at, pb.type);
      le::put_u16(b.data() + rec_at + 2, pb.next);
      le::put_u16(b.data() + rec_at + 4, pb.child);
      le::put_u16(b.data() + rec_at + 6, pb.link3);
      for (int w = 0; w < kPropWords; ++w) put_u32(b, rec_at + 8 + 4 * static_cast<size_t>(w), pb.words[w]);
      rec_at += kClipRecordBytes;
    }
  }
  return b;
}

int32_t clip_read_controls(std::span<const uint8_t> block, std::vector<ClipObject>* out) {
  constexpr int32_t kBad = ERR_GET_CLIPBOARD_DATA;
  const size_t size = block.size();
  if (size < 16) return kBad;
  const uint8_t* p = block.data();
  const uint64_t n = le::get_u32(p);
  const uint64_t r_off = le::get_u32(p + 4);
  const uint64_t count = le::get_u32(p + 8);
  if (n == 0 || n > (size - 16) / 4 || r_off != 16 + 4 * n) return kBad;
  if (count > (size - r_off) / kClipRecordBytes) return kBad;
  const uint64_t area = r_off + count * kClipRecordBytes;
  std::vector<uint32_t> firsts(static_cast<size_t>(n));
  for (uint64_t i = 0; i < n; ++i) {
    firsts[i] = le::get_u32(p + 12 + 4 * i);
    // Objects own consecutive, non-empty runs of records from record 0.
    if (firsts[i] >= count || (i == 0 ? firsts[i] != 0 : firsts[i] <= firsts[i - 1])) return kBad;
  }
  std::vector<ClipObject> objects(static_cast<size_t>(n));
  for (uint64_t i = 0; i < n; ++i) {
    const uint32_t begin = firsts[i];
    const uint32_t end = i + 1 < n ? firsts[i + 1] : static_cast<uint32_t>(count);
    const uint32_t own = end - begin;
    for (uint32_t r = begin; r < end; ++r) {
      const uint8_t* rec = p + r_off + static_cast<uint64_t>(r) * kClipRecordBytes;
      ClipRecord cr;
      cr.block.type = le::get_u16(rec);
      cr.block.next = le::get_u16(rec + 2);
      cr.block.child = le::get_u16(rec + 4);
      cr.block.link3 = le::get_u16(rec + 6);
      // Links stay inside the object's own records.
      if (cr.block.next >= own || cr.block.child >= own) return kBad;
      for (int w = 0; w < kPropWords; ++w) cr.block.words[w] = le::get_u32(rec + 8 + 4 * w);
      for (size_t k = 0; k < kClipStringProps.size(); ++k) {
        const uint64_t at = prop_get_field(cr.block, kClipStringProps[k]);
        if (at < area || at > size || size - at < 4) return kBad;
        const uint64_t len = le::get_u32(p + at);
        if (len > size - at - 4) return kBad;
        cr.strings[k].assign(reinterpret_cast<const char*>(p + at + 4), static_cast<size_t>(len));
        prop_set_field(cr.block, kClipStringProps[k], 0);
      }
      objects[i].records.push_back(std::move(cr));
    }
    if (!sound_tree(objects[i].records)) return kBad;
  }
  *out = std::move(objects);
  return 0;
}

namespace {
constexpr OpcodeBinding kClipOpcodes[] = {
    {opcode_slot("paste"), bi_paste},
    {opcode_slot("clipboard_has_format"), bi_clipboard_has_format},
    {opcode_slot("clipboard_empty"), bi_clipboard_empty},
};
}  // namespace

BindResult clip_register_opcodes(OpcodeDispatch& d) {
  const BindResult r = opcodes_register(d, Layer::Forms, kClipOpcodes);
  return r ? clip_controls_register_opcodes(d) : r;
}
