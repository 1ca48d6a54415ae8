#include "winsys/fonts.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "winsys/draw.h"
#include "winsys/font_names.h"
#include "winsys/gfx.h"
#include "winsys/message_numbers.h"
#include "winsys/msgqueue.h"
#include "winsys/xfsys.h"
#include "winsys/xinit.h"

namespace {

XfFontLayer& L() { return xg().fl; }

struct FontCacheEntry {
  PoolRecordHead head;
  FontDescription description;
  FontAttrs attrs;
};

struct FontAlias {
  PoolRecordHead head;
  char face[256];
  int32_t size;
  char new_face[256];
  int32_t new_size;
};

RecordPool& cache_pool() {
  RecordPool& p = L().cache;
  if (!p.record_size) p = record_pool_make(sizeof(FontCacheEntry), 16);
  return p;
}

RecordPool& alias_pool(int32_t table) {
  RecordPool& p = L().aliases[table];
  if (!p.record_size) p = record_pool_make(sizeof(FontAlias), 16);
  return p;
}

void copy_face(char* out, size_t cap, const char* in) {
  size_t n = in ? std::strlen(in) : 0;
  if (n > cap - 1) n = cap - 1;
  if (n) std::memcpy(out, in, n);
  out[n] = 0;
}

const char* const kFixedDesktop[] = {"OEM Fixed Font", "System Fixed Font", "Fixed-OEM", "ANSI Fixed Font",
                                     "Fixed-ANSI",     "System VIO",        "courier"};

bool is_fixed_desktop(const char* face) {
  for (const char* k : kFixedDesktop)
    if (strcasecmp(face, k) == 0) return true;
  return false;
}
// " " and the text (built by appending: GCC 12 at -O3 warns falsely about
// operator+ on a literal and a temporary).
std::string blank_then(const std::string& text) {
  std::string out(1, ' ');
  out.append(text);
  return out;
}

bool is_prop_desktop(const char* face) {
  return strcasecmp(face, "System") == 0 || strcasecmp(face, "MS Sans Serif") == 0;
}

}  // namespace

FontDescription font_description(const char* face, int32_t size, uint32_t attrs) {
  FontDescription d{};
  copy_face(d.face, sizeof d.face, face);
  d.size = size;
  d.attrs = attrs;
  return d;
}

// ----- requests and opening -----

FontRequest* WinMakeFontRequest(FontRequest* r, const char* face, int32_t size, int32_t weight, uint32_t style,
                                int32_t family, int32_t pitch, int32_t escapement, int32_t orientation, int32_t charset,
                                int32_t out_precision, int32_t clip_precision, int32_t quality) {
  *r = FontRequest{};
  if (size >= 0) {
    r->size = size;
  } else {
    r->height = size & 0xFFFF;
    r->width = (size >> 16) & 0x7FFF;
  }
  r->escapement = escapement;
  r->orientation = orientation;
  r->weight = weight;
  r->italic = static_cast<uint8_t>(style & 2);
  r->underline = static_cast<uint8_t>(style & 8);
  r->strike_out = static_cast<uint8_t>(style & 4);
  r->charset = static_cast<uint8_t>(charset);
  r->out_precision = static_cast<uint8_t>(out_precision);
  r->clip_precision = static_cast<uint8_t>(clip_precision);
  r->quality = static_cast<uint8_t>(quality);
  r->pitch_family = static_cast<uint8_t>((family & 0xF) << 4 | (pitch & 0xF));
  copy_face(r->face, sizeof r->face, face);
  return r;
}

FontRequest* WinFontRequestFromAttrs(const FontAttrs* a, FontRequest* r, int32_t size) {
  uint32_t style = (a->selection & kSelItalic ? 2 : 0) | (a->selection & kSelUnderline ? 8 : 0) |
                   (a->selection & kSelStrikeOut ? 4 : 0);
  return WinMakeFontRequest(r, a->face, size, a->selection & kSelBold ? 700 : 400, style, 0, 0, 0, 0, 1,
                            a->out_class & 1 ? 8 : 0);
}

std::vector<XfFontTry> xf_font_patterns(const FontRequest* r) {
  uint32_t sel = (r->weight > 699 ? 8 : 0) | (r->italic ? 16 : 0);
  std::vector<XfFontTry> out;
  struct Step {
    const char* face;
    int32_t res;
    bool any_w, any_s, any_r;
    const char* reported;
  };
  const Step steps[] = {
      {nullptr, 75, false, false, false, nullptr}, {nullptr, 100, false, false, false, nullptr},
      {nullptr, 75, false, true, false, nullptr},  {nullptr, 75, true, true, false, nullptr},
      {nullptr, 0, true, true, true, nullptr},     {"*-*", 75, false, false, false, "secondTryFont"},
  };
  // Each step asks for Latin-1 first, then ISO 10646: never a font whose
  // first row is not the one ASCII lives in.
  for (const Step& s : steps) {
    for (const char* cs : {"iso8859-1", "iso10646-1"}) {
      out.push_back({xfMakeFontPattern(s.face ? s.face : r->face, sel, r->size, r->height, r->width, s.res, s.res,
                                       s.any_w, s.any_s, s.any_r, cs),
                     s.reported});
    }
  }
  out.push_back({"fixed", "fixed"});
  return out;
}

int WinCreateFont(FontAttrs* a, const FontRequest* r) {
  *a = FontAttrs{};
  a->length = 280;
  a->selection = static_cast<uint16_t>((r->weight > 699 ? kSelBold : 0) | (r->italic ? kSelItalic : 0) |
                                       (r->underline ? kSelUnderline : 0) | (r->strike_out ? kSelStrikeOut : 0));
  a->height = r->height;
  a->width = r->width;
  a->out_class = r->out_precision == 8 ? 3 : 4;
  for (const XfFontTry& t : xf_font_patterns(r)) {
    XfFont* f = xfOpenFont(t.pattern.c_str());
    // A font whose glyphs for ASCII are not in row 0 would draw other
    // characters: take it for nothing.
    if (f && f->fs->min_byte1 != 0) f = nullptr;
    if (!f) continue;
    a->font = f;
    copy_face(a->face, sizeof a->face, t.face ? t.face : r->face);
    return 1;
  }
  std::fprintf(stderr, "Zorvex: Can't load any font.  Exiting...\n");
  std::exit(-1);
}

// ----- the cache -----

int32_t font_cache_find(const FontDescription* d) {
  RecordPool& p = cache_pool();
  XfFontLayer& l = L();
  if (pool_is_live(&p, l.last_hit)) {
    auto* e = static_cast<FontCacheEntry*>(pool_record(&p, l.last_hit));
    if (std::memcmp(&e->description, d, sizeof *d) == 0) return l.last_hit;
  }
  for (int32_t i = 0; i < p.count; ++i) {
    if (!pool_is_live(&p, i)) continue;
    auto* e = static_cast<FontCacheEntry*>(pool_record(&p, i));
    if (std::memcmp(&e->description, d, sizeof *d) == 0) {
      l.last_hit = i;
      return i;
    }
  }
  auto* e = static_cast<FontCacheEntry*>(pool_alloc(&p));
  if (!e) return -2029;
  e->description = *d;
  int32_t index = pool_index(&p, e);
  char face[256];
  copy_face(face, sizeof face, d->face);
  int32_t size = d->size >= 0 ? d->size * 10 : static_cast<int32_t>(static_cast<uint32_t>(d->size) | 0x80000000u);
  font_map_face(d->attrs & 0x200 ? 2 : 0, face, &size);
  FontRequest r{};
  WinMakeFontRequest(&r, face, size, d->attrs & 1 ? 700 : 400, d->attrs & (2 | 8 | 4), 0, 0, 0, 0, 1);
  FontAttrs attrs{};
  WinCreateFont(&attrs, &r);
  e = static_cast<FontCacheEntry*>(pool_record(&p, index));
  e->attrs = attrs;
  return index;
}

const FontAttrs* font_cache_attrs(int32_t index) {
  static FontAttrs copy;
  RecordPool& p = cache_pool();
  if (index < 0 || !pool_is_live(&p, index)) return nullptr;
  copy = static_cast<FontCacheEntry*>(pool_record(&p, index))->attrs;
  return &copy;
}

int32_t font_cache_count() { return cache_pool().count; }
int32_t font_cache_last_hit() { return L().last_hit; }

int font_alias_add(int32_t table, const char* face, int32_t size, const char* new_face, int32_t new_size) {
  if (table < 0 || table > 2) return 1;
  auto* a = static_cast<FontAlias*>(pool_alloc(&alias_pool(table)));
  if (!a) return 1;
  copy_face(a->face, sizeof a->face, face);
  a->size = size;
  copy_face(a->new_face, sizeof a->new_face, new_face);
  a->new_size = new_size;
  return 0;
}

void font_alias_lookup(int32_t table, char* face, int32_t* size) {
  if (table < 0 || table > 2) return;
  RecordPool& p = alias_pool(table);
  for (int32_t i = 0; i < p.count; ++i) {
    if (!pool_is_live(&p, i)) continue;
    auto* a = static_cast<FontAlias*>(pool_record(&p, i));
    if (strcasecmp(a->face, face) != 0) continue;
    if (a->size == 0) {
      copy_face(face, 256, a->new_face);
      return;
    }
    if (a->size == *size) {
      copy_face(face, 256, a->new_face);
      *size = a->new_size;
      return;
    }
  }
}

int font_map_face(int32_t table, char* face, int32_t* size) {
  if (is_fixed_desktop(face)) {
    copy_face(face, 256, xfFixedFace());
    *size = xfFixedFaceSize();
  } else if (is_prop_desktop(face)) {
    copy_face(face, 256, xfPropFace());
    *size = xfPropFaceSize();
  } else {
    font_alias_lookup(table, face, size);
  }
  return 0;
}

int font_face_is_scalable(const char* face) { return xfFamilyIsScalable(face); }

int font_face_type(const char* face) {
  int flags = xfFamilyFlags(face);
  return (flags & 1 ? 8 : 0) | (flags & 2 ? 256 : 0);
}

void font_normalise_face(char* face) { copy_face(face, 256, xfMapFaceName(face).c_str()); }

// ----- lists -----

const std::vector<FontFaceEntry>* WinQueryFonts() {
  static std::vector<FontFaceEntry> list;
  XfFontLayer& l = L();
  if (!l.query_list_done) {
    list.clear();
    std::vector<XfFontListEntry> entries;
    int32_t count = 0;
    if (xfListFonts(&entries, INT32_MAX, &count) != 0 || count == 0) return nullptr;
    for (const XfFontListEntry& e : entries) {
      FontFaceEntry f{};
      copy_face(f.face, sizeof f.face, e.foundry_family);
      f.size = e.point_size;
      f.width = e.avg_width / 10;
      f.height = e.pixel_height;
      f.no_size_list = e.scalable;
      f.mapper[0] = e.weight_class;
      f.mapper[1] = e.width_class;
      f.mapper[2] = e.res_y;
      f.mapper[3] = e.monospaced & 1;
      list.push_back(f);
    }
    l.query_list_done = true;
  }
  return list.empty() ? nullptr : &list;
}

int font_name_seen(const char* name) {
  auto& set = L().name_set;
  auto it = std::lower_bound(set.begin(), set.end(), name,
                             [](const std::pair<std::string, bool>& e, const char* n) { return e.first < n; });
  if (it != set.end() && it->first == name) {
    if (it->second) return 1;
    it->second = true;
    return 0;
  }
  set.insert(it, {name, true});
  return 0;
}

void font_name_reset() {
  for (auto& e : L().name_set) e.second = false;
}

int font_enum_for_dialog(uint32_t flags, const char* face, void (*cb)(void*, const std::string&), void* ctx) {
  bool has_face = face && *face;
  if (has_face && !(flags & 8)) {
    int32_t size = -1;
    if (strcasecmp(face, "OEM Fixed Font") == 0 || strcasecmp(face, "courier") == 0) size = xfFixedFaceSize();
    if (is_prop_desktop(face)) size = xfPropFaceSize();
    if (size >= 0) {
      if (size / 10) cb(ctx, blank_then(std::to_string(size / 10)));
      return 0;
    }
  }
  const std::vector<FontFaceEntry>* list = WinQueryFonts();
  if (!list) return 0;
  if (has_face) {
    for (const FontFaceEntry& e : *list)
      if (strcasecmp(e.face, face) == 0 && e.no_size_list) return 0;
  }
  if (!has_face && (flags & 1)) {
    cb(ctx, " OEM Fixed Font");
    cb(ctx, " courier");
    if (!(flags & 4)) {
      cb(ctx, " System");
      cb(ctx, " MS Sans Serif");
    }
  }
  if (!has_face) font_name_reset();
  for (const FontFaceEntry& e : *list) {
    if (has_face) {
      if (strcasecmp(e.face, face) != 0) continue;
      if (flags & 8) {
        char buf[64];
        std::snprintf(buf, sizeof buf, " %2d x %2d", e.width, e.height);
        cb(ctx, buf);
      } else {
        cb(ctx, blank_then(std::to_string(e.size / 10)));
      }
    } else {
      if ((flags & 8) && !(e.mapper[3] & 1)) continue;
      if (!font_name_seen(e.face)) cb(ctx, blank_then(e.face));
    }
  }
  return 0;
}

int WinFontDlg(void*, const char*) { return 0; }

int32_t font_dialog(uint32_t flags, const char* face, int32_t size, uint32_t style, uint32_t colour) {
  FontDescription d = font_description(face, size, style | (flags & 2 ? 0x200 : 0));
  int32_t index = font_cache_find(&d);
  if (index < 0) return -2029;
  FontRequest r{};
  int32_t tenths = size >= 0 ? size * 10 : static_cast<int32_t>(static_cast<uint32_t>(size) | 0x80000000u);
  WinFontRequestFromAttrs(font_cache_attrs(index), &r, tenths);
  struct {
    FontRequest request;
    uint32_t flags, colour, custom;
  } record{r, flags, colour, 0xFFFFFF};
  if (WinFontDlg(&record, "Font") == 0) return -2087;
  return 0;
}

// ----- system fonts -----

int WinSetSysFont(int32_t element, const char* face, int32_t size, uint32_t style) {
  FontRequest r{};
  WinMakeFontRequest(&r, face, size, style & 1 ? 700 : 400, style & (2 | 8 | 4), 0, 0, 0, 0, 1);
  FontAttrs attrs{};
  WinCreateFont(&attrs, &r);
  if (element < 0 || element > 4) return 0;
  // The opened font is kept in the cache as a slot of its own.
  FontDescription d = font_description(face, size >= 0 ? size / 10 : size, (style & 1) | (style & (2 | 8 | 4)));
  auto* e = static_cast<FontCacheEntry*>(pool_alloc(&cache_pool()));
  XfFontLayer::SysFont& s = L().sys[element];
  if (e) {
    e->description = d;
    e->description.attrs |= 0x80000000u;  // never matched by a lookup
    e->attrs = attrs;
    s.index = pool_index(&cache_pool(), e);
  }
  s.face = face ? face : "";
  s.size = size;
  s.style = static_cast<int32_t>(style);
  return 0;
}

void WinQuerySysFont(int32_t element, std::string* face, int32_t* size, uint32_t* style) {
  if (element < 0 || element > 4) return;
  const XfFontLayer::SysFont& s = L().sys[element];
  if (s.index >= 0) {
    *face = s.face;
    *size = s.size;
    *style = static_cast<uint32_t>(s.style);
  } else if (element == 1 || element == 2) {
    *face = element == 1 ? xfFixedFace() : xfPropFace();
    *size = element == 1 ? xfFixedFaceSize() : xfPropFaceSize();
    *style = element == 2 ? 1 : 0;
  } else {
    *face = "fixed";
    *size = 100;
    *style = 0;
  }
}

XfFont* xf_sys_font_record(int32_t element) {
  if (element < 0 || element > 4) return nullptr;
  int32_t index = L().sys[element].index;
  RecordPool& p = cache_pool();
  if (index < 0 || !pool_is_live(&p, index)) return nullptr;
  return static_cast<FontCacheEntry*>(pool_record(&p, index))->attrs.font;
}

// ----- screen metrics -----

void xf_dialog_factors(int32_t* fx, int32_t* fy, int32_t w1, int32_t w2, int32_t h) {
  // A factor stays at least 1: the sample texts may not fit even then.
  while (*fx > 1 && 2000 / *fx < w1) {
    --*fx;
    if (*fy > 1) --*fy;
  }
  while (*fx > 1 && 2100 / *fx < w2) {
    --*fx;
    if (*fy > 1) --*fy;
  }
  while (*fy > 1 && 182 / *fy < h) --*fy;
}

void WinInitScreenMetrics() {
  XfFontLayer& l = L();
  const XfConnection& c = xf().conn;
  l.screen_w = c.width;
  l.screen_h = c.height;
  xfFontResolution(&l.ppi_x, &l.ppi_y);
  l.twips_x = 1440 / (l.ppi_x > 0 ? l.ppi_x : 75);
  l.twips_y = 1440 / (l.ppi_y > 0 ? l.ppi_y : 75);
  l.dlg_x = l.twips_x;
  l.dlg_y = l.twips_y;
  if (!xf_display()) return;
  DrawContext ctx{};
  WinGetPS(&ctx, nullptr);
  const char* s1 = "File Load/Save Options...";
  const char* s2 = "Window Left Margin (inch):";
  int32_t w1 = WinQueryTextWidth(&ctx, s1, 25), w2 = WinQueryTextWidth(&ctx, s2, 26);
  int32_t h = WinQueryFontHeight(&ctx);
  xf_dialog_factors(&l.dlg_x, &l.dlg_y, w1, w2, h);
  WinReleasePS(&ctx);
}

void WinRecalcScreenMetrics() { WinInitScreenMetrics(); }

XfScreenMetrics xf_screen_metrics() {
  const XfFontLayer& l = L();
  return {l.screen_w, l.screen_h, l.ppi_x, l.ppi_y, l.twips_x, l.twips_y, l.dlg_x, l.dlg_y};
}

int32_t xf_italic_overhang(int32_t height) { return height * 100 / 205; }

// ----- fonts of a drawing context -----

FontAttrs* WinSelectFont(FontAttrs* previous, DrawContext* context, const FontAttrs* attrs) {
  DrawState* s = context->state;
  if (previous) *previous = s->font;
  s->font = *attrs;
  WinApplyFont(context);
  xfPsSetUnderline(s->ps, attrs->selection & kSelUnderline);
  xfPsSetStrikeOut(s->ps, attrs->selection & kSelStrikeOut);
  return previous;
}

void WinApplyFont(DrawContext* context) {
  DrawState* s = context->state;
  if (!s->font.font) return;
  xf_ps_set_font(s->ps, s->font.font);
  s->ascent = s->font.font->fs ? s->font.font->fs->ascent : 0;
}

void WinSetWindowFont(XfWindow* window, const FontAttrs* attrs, int32_t, intptr_t redraw) {
  xfSendMsg(window, ZWM_SETFONT, reinterpret_cast<intptr_t>(attrs), redraw);
}

void WinQueryFontMetrics(DrawContext* context, FontMetrics* m) {
  *m = FontMetrics{};
  PresentSpace* ps = context->state->ps;
  m->height = xfPsFontHeight(ps, &m->ascent, &m->descent);
  const XfFont* f = ps->font;
  if (!f || !f->fs) return;
  m->avg_width = (f->avg_width + 5) / 10;  // the record keeps tenths of a pixel
  m->max_width = f->fs->max_bounds.width;
  m->weight = f->weight == 'b' ? 700 : 400;
  m->italic = f->slant == 'i';
  m->first_char = static_cast<uint16_t>(f->fs->min_char_or_byte2);
  m->last_char = static_cast<uint16_t>(f->fs->max_char_or_byte2);
  m->default_char = static_cast<uint16_t>(f->fs->default_char);
  m->break_char = 32;
  m->variable_pitch = f->spacing != 'm';
}

int32_t WinQueryFontHeight(DrawContext* context) { return xfPsFontHeight(context->state->ps, nullptr, nullptr); }

int32_t WinQueryTextWidth(DrawContext* context, const char* text, int32_t length) {
  return xfPsTextWidth(context->state->ps, text, length);
}

void WinGetTextExtent(DrawContext* context, const char* text, int32_t length, int32_t size[2]) {
  xfPsTextExtent(context->state->ps, text, length, &size[0], &size[1]);
}

int32_t WinGetTextWidth(DrawContext* context, const char* text, int32_t length, int32_t* overhang) {
  *overhang = 0;
  if (length <= 0) return 0;
  const XfFont* f = context->state->ps->font;
  if (f && f->slant == 'i') *overhang = xf_italic_overhang(WinQueryFontHeight(context));
  return WinQueryTextWidth(context, text, length) - *overhang;
}

int WinQueryCharWidths(DrawContext* context, int32_t table[256]) {
  const XfFont* f = context->state->ps->font;
  if (!f || !f->fs) {
    std::fill(table, table + 256, 0);
    return 1;
  }
  xfCharWidths(f->fs, table);
  return 1;
}

int WinIsFixedPitchFont(DrawContext*) { return 0; }

int WinFontSizeMatches(const FontRequest* r, const FontFaceEntry* e, const FontAttrs* a) {
  if (r->size) return r->size == e->size;
  return a->height == e->height && a->width == e->width;
}
