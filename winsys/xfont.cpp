#include "winsys/xfont.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/mem.h"
#include "winsys/font_names.h"
#include "winsys/gfx.h"
#include "winsys/xfsys.h"

namespace {

XfFontCache& C() { return xg().fonts; }

void copy_field(char* out, const char* from, size_t n, size_t cap) {
  size_t k = n < cap - 1 ? n : cap - 1;  // a longer field is cut
  std::memcpy(out, from, k);
  out[k] = 0;
}

// X names compare without case ("Bold" from the server is "bold").
std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

uint32_t weight_code(const std::string& f) {
  if (f == "*") return '*';
  return f == "bold" ? 'b' : 'n';
}
uint32_t slant_code(const std::string& f) {
  if (f == "*") return '*';
  return f == "i" || f == "o" ? 'i' : 'n';
}
uint32_t setwidth_code(const std::string& f) {
  if (f == "*") return '*';
  if (f == "normal") return 'n';
  if (f == "semicondensed") return 's';
  if (f == "narrow") return 'r';
  if (f == "doublewidth") return 'd';
  return 'o';
}
uint32_t spacing_code(const std::string& f) {
  if (f == "*") return '*';
  if (f == "m") return 'm';
  if (f == "c") return 'c';
  return 'p';
}

// An unsigned number, or "*" (-1); false for anything else or an overflow.
bool number_field(const std::string& f, int32_t* out) {
  if (f == "*") {
    *out = -1;
    return true;
  }
  if (f.empty()) return false;
  int64_t v = 0;
  for (char c : f) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return false;
  }
  *out = static_cast<int32_t>(v);
  return true;
}

XfFont* find_name(const char* name) {
  auto& v = C().by_name;
  auto it = std::lower_bound(v.begin(), v.end(), name,
                             [](const std::pair<std::string, XfFont*>& e, const char* n) { return e.first < n; });
  return it != v.end() && it->first == name ? it->second : nullptr;
}

void insert_name(const char* name, XfFont* f) {
  auto& v = C().by_name;
  auto it = std::lower_bound(v.begin(), v.end(), name,
                             [](const std::pair<std::string, XfFont*>& e, const char* n) { return e.first < n; });
  v.insert(it, {name, f});
}

// The name the server resolved the font to (its FONT property), or "".
std::string resolved_name(Display* d, XFontStruct* fs) {
  unsigned long atom = 0;
  if (!XGetFontProperty(fs, XA_FONT, &atom) || !atom) return {};
  char* s = XGetAtomName(d, static_cast<Atom>(atom));
  std::string r = s ? s : "";
  if (s) XFree(s);
  return r;
}

std::string atom_property(Display* d, XFontStruct* fs, const char* prop) {
  Atom a = XInternAtom(d, prop, True);
  unsigned long v = 0;
  if (!a || !XGetFontProperty(fs, a, &v) || !v) return {};
  char* s = XGetAtomName(d, static_cast<Atom>(v));
  std::string r = s ? s : "";
  if (s) XFree(s);
  return r;
}

// Fills the fields the asked name left open from what the server says. The
// weight is taken from the weight name (of the resolved XLFD, or the
// WEIGHT_NAME property): the numeric WEIGHT property is the same for medium
// and bold bitmap fonts.
void complete_fields(Display* d, XfFont* f, const std::string& resolved) {
  XFontStruct* fs = f->fs;
  if (f->weight == '*' || f->weight == 0) {
    XfFont r{};
    if (!resolved.empty() && xfParseXlfd(resolved.c_str(), &r) == 0 && r.weight != '*') {
      f->weight = r.weight;
    } else {
      std::string wn = atom_property(d, fs, "WEIGHT_NAME");
      if (!wn.empty()) {
        for (auto& c : wn) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        f->weight = wn == "bold" ? 'b' : 'n';
      }
    }
  }
  if (f->spacing == '*' || f->spacing == 0) f->spacing = fs->min_bounds.width != fs->max_bounds.width ? 'p' : 'm';
  if (f->avg_width == 0) f->avg_width = xfAverageCharWidth(fs) * 10;  // tenths, as in a name
}

}  // namespace

int xfParseXlfd(const char* name, XfFont* font) {
  if (!name || name[0] != '-') return -1;
  std::string fields[12];
  const char* p = name + 1;
  for (int i = 0; i < 12; ++i) {
    const char* dash = std::strchr(p, '-');
    if (!dash) return -1;  // fewer than fourteen fields
    fields[i].assign(p, static_cast<size_t>(dash - p));
    p = dash + 1;
  }
  copy_field(font->foundry, fields[0].data(), fields[0].size(), kFontFieldCap);
  copy_field(font->family, fields[1].data(), fields[1].size(), kFontFieldCap);
  font->weight = weight_code(lower(fields[2]));
  font->slant = slant_code(lower(fields[3]));
  font->setwidth = setwidth_code(lower(fields[4]));
  int32_t px = 0, pt = 0, rx = 0, ry = 0, avg = 0;
  if (!number_field(fields[6], &px) || !number_field(fields[7], &pt)) return -1;
  font->pixel_size = px;
  font->point_size = pt;
  int32_t sx = 75, sy = 75;
  xfFontResolution(&sx, &sy);
  if (!number_field(fields[8], &rx) || !number_field(fields[9], &ry)) return -1;
  font->res_x = rx < 0 ? sx : rx;
  font->res_y = ry < 0 ? sy : ry;
  font->spacing = spacing_code(lower(fields[10]));
  if (!number_field(fields[11], &avg)) return -1;
  font->avg_width = avg;
  if (std::strchr(p, '-') == nullptr) return -1;  // registry and encoding
  copy_field(font->charset, p, std::strlen(p), kFontFieldCap);
  font->scalable = px == 0 && pt == 0 && avg == 0;
  if (font->pixel_size < 0) font->pixel_size = 0;
  if (font->point_size < 0) font->point_size = 0;
  if (font->avg_width < 0) font->avg_width = 0;
  return 0;
}

void xf_resolution_of(int width_px, int width_mm, int height_px, int height_mm, int32_t* x, int32_t* y) {
  auto one = [](int px, int mm) -> int32_t {
    if (mm <= 0) return 75;  // a server that reports no size
    auto r = static_cast<int32_t>(25.4 * px / mm);
    if (r >= 71 && r <= 79) return 75;
    if (r >= 96 && r <= 104) return 100;
    return r > 0 ? r : 75;
  };
  *x = one(width_px, width_mm);
  *y = one(height_px, height_mm);
}

void xfFontResolution(int32_t* x, int32_t* y) {
  XfFontCache& c = C();
  if (!c.resolution_known) {
    const XfConnection& k = xf().conn;
    if (k.display) {
      xf_resolution_of(k.width, k.width_mm, k.height, k.height_mm, &c.res_x, &c.res_y);
      c.resolution_known = true;
    }
  }
  *x = c.res_x;
  *y = c.res_y;
}

std::string xfMakeFontPattern(const char* face, uint32_t flags, int32_t size, int32_t pixel_height, int32_t pixel_width,
                              int32_t res_x, int32_t res_y, bool any_weight, bool any_slant, bool any_resolution,
                              const char* charset) {
  if (res_x == 0 && res_y == 0) xfFontResolution(&res_x, &res_y);
  if (size > 1000) size = 1000;
  std::string point = size > 0 ? std::to_string(size) : "*";
  std::string pixel = size <= 0 && pixel_height > 0 ? std::to_string(pixel_height) : "*";
  std::string ff = xfFaceToFoundryFamily(xfMapFaceName(face ? face : "").c_str());
  const char* weight = any_weight ? "*" : (flags & 8 ? "bold" : "medium");
  const char* slant = any_slant ? "*" : (flags & 16 ? "o" : "r");
  std::string avg = size > 0 || pixel_width <= 0 ? "*" : std::to_string(pixel_width);
  std::string cs = charset && *charset ? charset : "*-*";
  std::string p = "-" + ff + "-" + weight + "-" + slant + "-*-*-" + pixel + "-" + point;
  if (any_resolution) {
    p += "-*-*-*-" + avg + "-" + cs;
  } else {
    p += "-" + std::to_string(res_x) + "-" + std::to_string(res_y) + "-*-" + avg + "-" + cs;
  }
  return p;
}

XfFont* xfOpenFont(const char* name, XfFont** out) {
  if (out) *out = nullptr;
  if (!name) return nullptr;
  if (XfFont* hit = find_name(name)) {
    if (out) *out = hit;
    return hit;
  }
  Display* d = xf_display();
  if (!d) return nullptr;
  std::string xname = name;
  if (std::strncmp(name, "-alias-", 7) == 0) {
    const char* a = name + 7;
    const char* e = std::strchr(a, '-');
    xname.assign(a, e ? static_cast<size_t>(e - a) : std::strlen(a));
  }
  if (xname.empty() || xname.size() >= kFontNameCap) return nullptr;
  XFontStruct* fs = XLoadQueryFont(d, xname.c_str());
  if (!fs) return nullptr;
  std::string resolved = resolved_name(d, fs);
  if (!resolved.empty()) {
    if (XfFont* same = find_name(resolved.c_str())) {  // the same server font under another name
      XFreeFont(d, fs);
      insert_name(name, same);
      if (out) *out = same;
      return same;
    }
  }
  auto* f = static_cast<XfFont*>(mem_alloc(sizeof(XfFont)));
  if (!f) {
    XFreeFont(d, fs);
    return nullptr;
  }
  *f = XfFont{};
  f->fs = fs;
  f->fid = fs->fid;
  int dir = 0, asc = 0, desc = 0;
  XCharStruct cs{};
  XTextExtents(fs, "T", 1, &dir, &asc, &desc, &cs);
  f->ascent = asc;
  f->descent = desc;
  copy_field(f->name, name, std::strlen(name), kFontNameCap);
  xfParseXlfd(name, f);
  complete_fields(d, f, resolved);
  C().records.push_back(f);
  insert_name(name, f);
  if (!resolved.empty() && resolved != name) insert_name(resolved.c_str(), f);
  if (out) *out = f;
  return f;
}

int32_t xf_font_record_count() { return static_cast<int32_t>(C().records.size()); }
int32_t xf_font_name_count() { return static_cast<int32_t>(C().by_name.size()); }

const char* xfFontFoundryFamily(const XfFont* font) {
  static char buf[kFontFieldCap * 2 + 2];
  std::snprintf(buf, sizeof buf, "%s-%s", font->foundry, font->family);
  return buf;
}

int xfFontStyle(const XfFont* font) { return (font->weight == 'b' ? 1 : 0) | (font->slant == 'i' ? 2 : 0); }

void xfCharWidths(const XFontStruct* fs, int32_t widths[256]) {
  int first = static_cast<int>(fs->min_char_or_byte2), last = static_cast<int>(fs->max_char_or_byte2);
  for (int c = 0; c < 256; ++c) {
    if (c < first || c > last) {
      widths[c] = 0;
    } else if (fs->per_char) {
      widths[c] = fs->per_char[c - first].width;
    } else {
      widths[c] = fs->max_bounds.width;
    }
  }
}

int32_t xfAverageCharWidth(const XFontStruct* fs) {
  if (!fs->per_char) return fs->max_bounds.width;
  int64_t sum = 0, n = 0;
  unsigned cols = fs->max_char_or_byte2 - fs->min_char_or_byte2 + 1;
  unsigned rows = fs->max_byte1 - fs->min_byte1 + 1;
  uint64_t total = static_cast<uint64_t>(cols) * rows;
  for (uint64_t i = 0; i < total; ++i) {
    int w = fs->per_char[i].width;
    if (w) {
      sum += w;
      ++n;
    }
  }
  if (!n) return fs->max_bounds.width;
  int64_t q = sum / n, r = sum % n;
  return static_cast<int32_t>(r * 2 >= n ? q + 1 : q);
}

bool xf_font_is_two_byte(const XFontStruct* fs) { return fs->min_byte1 != 0 || fs->max_byte1 != 0; }

void xfSetFixedFace(const char* face, int32_t size) {
  C().fixed_face.assign(face ? face : "", 0, 255);
  C().fixed_size = size;
}
void xfSetPropFace(const char* face, int32_t size) {
  C().prop_face.assign(face ? face : "", 0, 255);
  C().prop_size = size;
}
const char* xfFixedFace() { return C().fixed_face.c_str(); }
const char* xfPropFace() { return C().prop_face.c_str(); }
int32_t xfFixedFaceSize() { return C().fixed_size; }
int32_t xfPropFaceSize() { return C().prop_size; }

void xfFreeFonts() {
  Display* d = xf_display();
  for (XfFont* f : C().records) {
    if (d && f->fs) XFreeFont(d, f->fs);
    mem_free(f);
  }
  C().records.clear();
  C().by_name.clear();
}
