// The font text, the dialog's model and keys, and the built-in (see
// font_dialog.h). The window is in font_dialog_win.cpp.
#include "forms/font_dialog.h"

#include <strings.h>
#include <algorithm>
#include <cctype>
#include <charconv>

#include "macro/bi_args.h"
#include "macro/catch.h"
#include "macro/core_ops.h"
#include "macro/interp.h"
#include "macro/stack.h"
#include "winsys/fonts.h"

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool to_uint(std::string_view s, uint32_t max, uint32_t* out) {
  s = trim(s);
  if (s.empty()) return false;
  uint32_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || v > max) return false;
  *out = v;
  return true;
}

// A size token: points, or a cell W x H (W below 0x8000, H below 0x10000).
bool to_size(std::string_view s, int32_t* out) {
  uint32_t v = 0;
  if (to_uint(s, 0x7FFFFFFF, &v)) {
    *out = static_cast<int32_t>(v);
    return true;
  }
  const size_t x = s.find_first_of("xX");
  uint32_t w = 0, h = 0;
  if (x == std::string_view::npos || !to_uint(s.substr(0, x), 0x7FFF, &w) || !to_uint(s.substr(x + 1), 0xFFFF, &h))
    return false;
  *out = static_cast<int32_t>(kFontCellSize | w << 16 | h);
  return true;
}

int find_text(const std::vector<std::string>& list, std::string_view want) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].size() == want.size() && strncasecmp(list[i].data(), want.data(), want.size()) == 0)
      return static_cast<int>(i);
  return -1;
}

std::vector<std::string> listed(const FontLister& lister, uint32_t flags, const std::string& face) {
  std::vector<std::string> out;
  if (lister) lister(flags, face, &out);
  for (std::string& s : out)
    if (!s.empty() && s.front() == ' ') s.erase(0, 1);
  return out;
}

// Faces that list no sizes of their own (scalable ones) get these points.
constexpr int kScalableSizes[] = {6, 8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 36, 48, 72};

FontDialogRunner g_runner = nullptr;

}  // namespace

int obj_parse_font_size_list(std::string_view text, FontChoice* out, int* n) {
  FontChoice c;
  std::string_view tok[4];
  int count = 0;
  while (count < 4) {
    const size_t comma = text.find(',');
    tok[count++] = text.substr(0, comma);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  c.face = std::string(trim(tok[0]));
  if (count > 1 && !trim(tok[1]).empty() && !to_size(tok[1], &c.size)) return 1;
  if (count > 2 && !trim(tok[2]).empty() && !to_uint(tok[2], 0xFFFFFFFF, &c.style)) return 1;
  if (count > 3 && !trim(tok[3]).empty() && !to_uint(tok[3], 0xFFFFFFFF, &c.charset)) return 1;
  *out = std::move(c);
  if (n) *n = count;
  return 0;
}

std::string font_size_text(int32_t size) {
  const auto u = static_cast<uint32_t>(size);
  if (u & kFontCellSize) return std::to_string((u >> 16) & 0x7FFF) + "x" + std::to_string(u & 0xFFFF);
  return std::to_string(size);
}

bool font_size_from_text(std::string_view text, int32_t* size) {
  std::string compact;
  for (char c : text)
    if (c != ' ') compact.push_back(c);
  int32_t v = 0;
  if (!to_size(compact, &v) || v == 0) return false;
  if ((static_cast<uint32_t>(v) & kFontCellSize) && ((v >> 16 & 0x7FFF) == 0 || (v & 0xFFFF) == 0)) return false;
  *size = v;
  return true;
}

std::string font_choice_text(const FontChoice& c, uint32_t flags) {
  // Appended piece by piece: GCC 12 at -O3 warns (restrict) on "," + temporary.
  std::string s = c.face;
  s += ',';
  s += font_size_text(c.size);
  s += ',';
  s += std::to_string(c.style);
  if (flags & 0x100) {
    s += ',';
    s += std::to_string(c.charset);
  }
  return s;
}

FontLister font_system_lister() {
  return [](uint32_t flags, const std::string& face, std::vector<std::string>* out) {
    font_enum_for_dialog(
        flags, face.empty() ? nullptr : face.c_str(),
        [](void* ctx, const std::string& t) { static_cast<std::vector<std::string>*>(ctx)->push_back(t); }, out);
  };
}

// ---- the model ----

void fontdlg_select_size(FontDialog& d, int index) {
  if (index < 0 || index >= static_cast<int>(d.sizes.size())) return;
  d.size = index;
  d.size_field = d.sizes[static_cast<size_t>(index)];
}

void fontdlg_select_face(FontDialog& d, int index) {
  if (index < 0 || index >= static_cast<int>(d.faces.size())) return;
  d.face = index;
  d.sizes = listed(d.lister, d.flags & (1 | 4 | 8), d.faces[static_cast<size_t>(index)]);
  if (d.sizes.empty() && !(d.flags & 8))
    for (int p : kScalableSizes) d.sizes.push_back(std::to_string(p));
  d.size_top = 0;
  // The size field stays; its entry in the new list is chosen when there is one.
  int32_t want = 0;
  d.size = -1;
  if (font_size_from_text(d.size_field, &want))
    for (size_t i = 0; i < d.sizes.size(); ++i)
      if (int32_t v = 0; font_size_from_text(d.sizes[i], &v) && v == want) d.size = static_cast<int>(i);
}

void fontdlg_init(FontDialog& d, uint32_t flags, const FontChoice& initial, FontLister lister) {
  d = FontDialog{};
  d.flags = flags;
  d.lister = std::move(lister);
  d.faces = listed(d.lister, flags & (1 | 4 | 8), std::string());
  d.bold = initial.style & 1;
  d.italic = initial.style & 2;
  d.other_style = initial.style & ~3u;
  d.charset = initial.charset;
  d.size_field = font_size_text(initial.size);
  d.initial_face = initial.face;
  const int face = find_text(d.faces, initial.face);
  if (face >= 0) fontdlg_select_face(d, face);
}

namespace {

int page_move(int index, int count, FontDlgKey key, int rows) {
  if (count <= 0) return -1;
  switch (key) {
    case FontDlgKey::up:
      return std::max(index - 1, 0);
    case FontDlgKey::down:
      return std::min(index + 1, count - 1);
    case FontDlgKey::home:
      return 0;
    case FontDlgKey::end:
      return count - 1;
    case FontDlgKey::page_up:
      return std::max(index - std::max(rows - 1, 1), 0);
    case FontDlgKey::page_down:
      return std::min(std::max(index, 0) + std::max(rows - 1, 1), count - 1);
    default:
      return index;
  }
}

bool is_move(FontDlgKey k) {
  return k == FontDlgKey::up || k == FontDlgKey::down || k == FontDlgKey::home || k == FontDlgKey::end ||
         k == FontDlgKey::page_up || k == FontDlgKey::page_down;
}

// The next face after the current one that starts with the letter, round.
int face_by_letter(const FontDialog& d, char c) {
  const int n = static_cast<int>(d.faces.size());
  const int lc = std::tolower(static_cast<unsigned char>(c));
  for (int k = 1; k <= n; ++k) {
    const int i = (std::max(d.face, -1) + k + n) % n;
    const std::string& f = d.faces[static_cast<size_t>(i)];
    if (!f.empty() && std::tolower(static_cast<unsigned char>(f[0])) == lc) return i;
  }
  return -1;
}

void keep_visible(int index, int* top, int rows) {
  if (index < 0) return;
  if (index < *top) *top = index;
  if (index >= *top + rows) *top = index - rows + 1;
}

}  // namespace

void fontdlg_focus(FontDialog& d, FontDlgPart part) {
  if (part == FontDlgPart::sizes && d.focus != part) d.size_fresh = true;
  d.focus = part;
}

FontDlgOutcome fontdlg_key(FontDialog& d, FontDlgKey key, char text, int rows) {
  rows = std::max(rows, 1);
  switch (key) {
    case FontDlgKey::enter:
      if (d.focus == FontDlgPart::cancel) return FontDlgOutcome::cancel;
      return FontDlgOutcome::ok;
    case FontDlgKey::escape:
      return FontDlgOutcome::cancel;
    case FontDlgKey::tab:
      fontdlg_focus(d, static_cast<FontDlgPart>((static_cast<int>(d.focus) + 1) % kFontDlgParts));
      return FontDlgOutcome::none;
    case FontDlgKey::back_tab:
      fontdlg_focus(d, static_cast<FontDlgPart>((static_cast<int>(d.focus) + kFontDlgParts - 1) % kFontDlgParts));
      return FontDlgOutcome::none;
    default:
      break;
  }
  switch (d.focus) {
    case FontDlgPart::faces:
      if (is_move(key)) {
        const int i = page_move(d.face, static_cast<int>(d.faces.size()), key, rows);
        if (i != d.face) fontdlg_select_face(d, i);
      } else if (key == FontDlgKey::text && std::isalnum(static_cast<unsigned char>(text))) {
        if (const int i = face_by_letter(d, text); i >= 0 && i != d.face) fontdlg_select_face(d, i);
      }
      keep_visible(d.face, &d.face_top, rows);
      break;
    case FontDlgPart::sizes:
      if (is_move(key)) {
        const int i = page_move(d.size, static_cast<int>(d.sizes.size()), key, rows);
        fontdlg_select_size(d, i);
      } else if (key == FontDlgKey::backspace) {
        d.size_fresh = false;
        if (!d.size_field.empty()) d.size_field.pop_back();
        d.size = -1;
      } else if (key == FontDlgKey::text &&
                 (std::isdigit(static_cast<unsigned char>(text)) || text == 'x' || text == 'X' || text == ' ')) {
        // Typing replaces a size chosen from the list or the size the
        // field held when it took the focus, then extends it.
        if (d.size >= 0 || d.size_fresh) d.size_field.clear();
        d.size_fresh = false;
        if (d.size_field.size() < 16) d.size_field.push_back(text);
        d.size = -1;
        int32_t v = 0;
        if (font_size_from_text(d.size_field, &v))
          for (size_t i = 0; i < d.sizes.size(); ++i)
            if (int32_t s = 0; font_size_from_text(d.sizes[i], &s) && s == v) d.size = static_cast<int>(i);
        if (d.size >= 0) d.size_field = d.sizes[static_cast<size_t>(d.size)];
      }
      keep_visible(d.size, &d.size_top, rows);
      break;
    case FontDlgPart::bold:
      if (key == FontDlgKey::space) d.bold = !d.bold;
      break;
    case FontDlgPart::italic:
      if (key == FontDlgKey::space) d.italic = !d.italic;
      break;
    case FontDlgPart::ok:
      if (key == FontDlgKey::space) return FontDlgOutcome::ok;
      break;
    case FontDlgPart::cancel:
      if (key == FontDlgKey::space) return FontDlgOutcome::cancel;
      break;
  }
  return FontDlgOutcome::none;
}

bool fontdlg_choice(const FontDialog& d, FontChoice* out) {
  const bool listed_face = d.face >= 0 && d.face < static_cast<int>(d.faces.size());
  if (!listed_face && d.initial_face.empty()) return false;
  int32_t size = 0;
  if (!font_size_from_text(d.size_field, &size)) return false;
  out->face = listed_face ? d.faces[static_cast<size_t>(d.face)] : d.initial_face;
  out->size = size;
  out->style = d.other_style | (d.bold ? 1u : 0u) | (d.italic ? 2u : 0u);
  out->charset = d.charset;
  return true;
}

// ---- the built-in ----

void font_dialog_set_runner(FontDialogRunner runner) { g_runner = runner; }

void bi_choose_font() {
  int32_t n = 0;
  if (!bi_count(0, 2, &n)) return;
  int32_t flags = 2;
  if (n >= 1 && !bi_strip_blanks(bi_arg(n, 0)).empty() && !bi_arg_int(n, 0, &flags)) return;
  FontChoice initial;
  if (n >= 2 && obj_parse_font_size_list(bi_arg(n, 1), &initial, nullptr) != 0)
    return bi_fail(n, ERR_INVALID_NUMBER_ARGUMENT);
  core_drop(n);
  FontChoice chosen;
  int32_t error = 0;
  const FontDialogRunner run = g_runner ? g_runner : font_dialog_native;
  const bool ok = run(static_cast<uint32_t>(flags), initial, &chosen, &error);
  if (ok) {
    vm_push_view(font_choice_text(chosen, static_cast<uint32_t>(flags)));
    return;
  }
  vm_push_bytes("", 0);
  if (error < 0) vm_raise_error(error);
}
