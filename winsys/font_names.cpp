#include "winsys/font_names.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/regular_file.h"
#include "winsys/gfx.h"
#include "winsys/xfsys.h"

namespace {

XfFontNames& N() { return xg().names; }

std::string lower(const char* s) {
  std::string r = s ? s : "";
  for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

// The longest line one read takes; a longer line is read as several.
constexpr size_t kAliasLine = 1023;
// A font directory's alias list is some hundred lines; a file far larger is
// none, and a FIFO or device under the name is never opened.
constexpr int64_t kAliasFileMax = 4 << 20;

void parse_alias_line(const std::string& line) {
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i < line.size() && line[i] == '!') return;  // a comment
  size_t blank = line.find_first_of(" \t");
  if (blank == std::string::npos || blank == 0) return;
  std::string alias = line.substr(0, blank);
  if (alias.find('-') != std::string::npos) return;
  size_t dash = line.find('-', blank);
  if (dash == std::string::npos) return;
  std::string target = line.substr(dash);
  while (!target.empty() && (target.back() == '\n' || target.back() == '\r')) target.pop_back();
  size_t quote = target.rfind('"');
  if (quote != std::string::npos) target.resize(quote);
  auto& v = N().aliases;
  auto it =
      std::lower_bound(v.begin(), v.end(), alias,
                       [](const std::pair<std::string, std::string>& e, const std::string& a) { return e.first < a; });
  if (it != v.end() && it->first == alias) return;  // the first definition wins
  v.insert(it, {alias, target});
}

void read_alias_dir(std::string dir) {
  if (dir.empty() || dir[0] != '/') return;  // "built-ins", "catalogue:..." and the like
  size_t colon = dir.find(':');
  if (colon != std::string::npos) dir.resize(colon);  // ".../75dpi/:unscaled"
  if (dir.back() != '/') dir += '/';
  std::string text;
  if (regular_file_read((dir + "fonts.alias").c_str(), kAliasFileMax, &text) != 0) return;
  xf_parse_font_aliases(text.data(), text.size());
}

int32_t synthetic_size(const char* name) {
  const char* p = name;
  while (*p && !std::isdigit(static_cast<unsigned char>(*p))) ++p;
  if (!*p) return 120;
  long n = 0;
  while (std::isdigit(static_cast<unsigned char>(*p)) && n < 100000) n = n * 10 + (*p++ - '0');
  if (*p == 'x' && std::isdigit(static_cast<unsigned char>(p[1]))) {
    long m = 0;
    ++p;
    while (std::isdigit(static_cast<unsigned char>(*p)) && m < 100000) m = m * 10 + (*p++ - '0');
    if (m <= 96) return static_cast<int32_t>(m * 10);
  }
  if (n <= 96) return static_cast<int32_t>(n * 10);
  return 120;
}

void copy_to(char* out, size_t cap, const std::string& s) {
  size_t k = std::min(s.size(), cap - 1);
  std::memcpy(out, s.data(), k);
  out[k] = 0;
}

bool parse_any(const char* name, XfFont* f) {
  *f = XfFont{};
  if (xfParseXlfd(name, f) == 0) return true;
  *f = XfFont{};
  return xfAliasRecord(name, f) == 0;
}

}  // namespace

void xfFontMapperInit() {
  XfFontNames& n = N();
  if (n.foundries_built) return;
  n.foundries_built = true;
  xg().fonts.fixed_face = "adobe-courier";
  xg().fonts.prop_face = "adobe-helvetica";
  xg().fonts.fixed_size = xg().fonts.prop_size = 120;
  for (const std::string& name : xfServerFontNames()) {
    XfFont f{};
    if (xfParseXlfd(name.c_str(), &f) != 0) continue;
    std::pair<std::string, std::string> pair{f.foundry, f.family};
    auto it = std::lower_bound(n.foundries.begin(), n.foundries.end(), pair);
    if (it == n.foundries.end() || *it != pair) n.foundries.insert(it, pair);
  }
}

const std::vector<std::string>& xfServerFontNames() {
  XfFontNames& n = N();
  if (n.listed) return n.server;
  Display* d = xf_display();
  if (!d) return n.server;
  n.listed = true;
  int count = 0;
  char** names = XListFonts(d, "*", 65535, &count);  // the request's count is 16 bits
  for (int i = 0; i < count; ++i) n.server.emplace_back(names[i]);
  if (names) XFreeFontNames(names);
  return n.server;
}

std::string xfMapFaceName(const char* face) {
  std::string f = lower(face);
  static constexpr const char* kFixed[] = {"oem fixed font", "system fixed font", "fixed-oem", "ansi fixed font",
                                           "fixed-ansi",     "system vio",        "courier"};
  for (const char* k : kFixed)
    if (f == k) return xfFixedFace();
  if (f == "system" || f == "ms sans serif") return xfPropFace();
  return f;
}

const char* xfFoundryOfFamily(const char* family) {
  for (const auto& p : N().foundries)
    if (p.second == family) return p.first.c_str();
  return nullptr;
}

std::string xfFaceToFoundryFamily(const char* face) {
  if (std::strchr(face, '-')) return face;
  if (const char* foundry = xfFoundryOfFamily(face)) return std::string(foundry) + "-" + face;
  return std::string("*-") + face;
}

void xf_parse_font_aliases(const char* text, size_t length) {
  size_t i = 0;
  while (i < length) {
    size_t end = i;
    while (end < length && text[end] != '\n' && end - i < kAliasLine) ++end;
    parse_alias_line(std::string(text + i, end - i));
    i = end < length && text[end] == '\n' ? end + 1 : end;
  }
}

void xf_add_alias_dir(const char* dir) { N().extra_alias_dirs.emplace_back(dir); }

void xfReadFontAliases() {
  XfFontNames& n = N();
  if (n.aliases_read) return;
  n.aliases_read = true;
  if (Display* d = xf_display()) {
    int count = 0;
    char** path = XGetFontPath(d, &count);
    for (int i = 0; i < count; ++i) read_alias_dir(path[i]);
    if (path) XFreeFontPath(path);
  }
  for (const auto& dir : n.extra_alias_dirs) read_alias_dir(dir);
}

const char* xfAliasLookup(const char* alias) {
  xfReadFontAliases();
  auto& v = N().aliases;
  std::string a = alias;
  auto it =
      std::lower_bound(v.begin(), v.end(), a,
                       [](const std::pair<std::string, std::string>& e, const std::string& k) { return e.first < k; });
  return it != v.end() && it->first == a ? it->second.c_str() : nullptr;
}

int xfAliasRecord(const char* name, XfFont* font) {
  xfReadFontAliases();
  if (const char* target = xfAliasLookup(name)) {
    if (xfParseXlfd(target, font) != 0) return -1;
  } else {
    // Names the server lists beside XLFD ones ("olglyph-10") count as
    // aliases too; only a name that looks like an XLFD and is none is refused.
    if (name[0] == '-' || !name[0]) return -1;
    char buf[128];
    std::snprintf(buf, sizeof buf, "-adobe-courier-bold-r-normal--12-%d-75-75-m-70-iso8859-1",
                  static_cast<int>(synthetic_size(name)));
    xfParseXlfd(buf, font);
  }
  copy_to(font->foundry, sizeof font->foundry, "alias");
  copy_to(font->family, sizeof font->family, name);
  return 0;
}

int xfListFonts(std::vector<XfFontListEntry>* entries, int32_t max, int32_t* count) {
  const auto& names = xfServerFontNames();
  entries->clear();
  *count = 0;
  if (names.empty()) return -1;
  int32_t sx = 75, sy = 75;
  xfFontResolution(&sx, &sy);
  for (const std::string& name : names) {
    if (static_cast<int32_t>(entries->size()) >= max) break;
    XfFont f{};
    if (!parse_any(name.c_str(), &f) || f.scalable) continue;
    int32_t pixel = f.pixel_size, point = f.point_size, avg = f.avg_width;
    if (!pixel) pixel = point / 10;
    if (!point) point = pixel * 10;
    if (!avg) avg = point * 2 / 3;
    XfFontListEntry e{};
    copy_to(e.face, sizeof e.face, f.family);
    copy_to(e.foundry_family, sizeof e.foundry_family, std::string(f.foundry) + "-" + f.family);
    e.avg_width = avg;
    int32_t ry = f.res_y ? f.res_y : sy;
    e.pixel_height = static_cast<int32_t>(static_cast<int64_t>(point) * ry / 720);
    e.weight_class = f.weight == 'b' ? 7 : 5;
    e.width_class = f.setwidth == 's' ? 4 : 5;
    e.res_x = static_cast<uint16_t>(f.res_x ? f.res_x : sx);
    e.res_y = static_cast<uint16_t>(ry);
    e.charset = 32;
    e.point_size = static_cast<uint16_t>(point);
    e.monospaced = f.spacing == 'm';
    e.scalable = 0;
    entries->push_back(e);
  }
  *count = static_cast<int32_t>(entries->size());
  XfFontNames& n = N();
  n.list = *entries;
  n.list_done = true;
  return 0;
}

int32_t xfFontCount(char all) {
  if (all == 'a') return static_cast<int32_t>(xfServerFontNames().size());
  XfFontNames& n = N();
  if (!n.list_done) {
    std::vector<XfFontListEntry> v;
    int32_t c = 0;
    xfListFonts(&v, INT32_MAX, &c);
  }
  return static_cast<int32_t>(n.list.size());
}

namespace {

// Walks the server fonts of one foundry-family.
template <typename Fn>
void each_of_family(const char* foundry_family, Fn fn) {
  for (const std::string& name : xfServerFontNames()) {
    XfFont f{};
    if (xfParseXlfd(name.c_str(), &f) != 0) continue;
    if (std::string(f.foundry) + "-" + f.family == foundry_family) fn(f);
  }
}

}  // namespace

int xfFamilyIsScalable(const char* foundry_family) {
  int r = 0;
  each_of_family(foundry_family, [&](const XfFont& f) { r |= f.scalable ? 1 : 0; });
  return r;
}

int xfFamilyFlags(const char* foundry_family) {
  int r = 0;
  each_of_family(foundry_family, [&](const XfFont& f) {
    if (f.spacing == 'm') r |= 1;
    if (f.scalable) r |= 2;
  });
  return r;
}
