// Fonts as the rest of the editor names them: a face ("Courier", "MS Sans
// Serif", "adobe-courier"), a size in points or pixels and style bits,
// turned into an opened X font through a chain of XLFD patterns, and kept
// in a cache keyed by the editor's FontDescription. Also the font
// translations, the font list for dialogs, the system fonts and the screen
// metrics (twips per pixel, dialog factors).
//
// The calls that take a drawing context (metrics, selecting a font) are
// declared in winsys/draw.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/record_pool.h"
#include "winsys/xfont.h"

// The editor's font key: all 72 bytes compare, so unused face bytes are 0.
struct FontDescription {
  char face[64];   // NUL-terminated, longer names cut
  int32_t size;    // points; negative: low 16 bits pixel height, bits 16..30 width
  uint32_t attrs;  // 1 bold, 2 italic, 4 strike-out, 8 underline, 0x200 screen translations
  char pad[72 - 64 - 8];
};
static_assert(sizeof(FontDescription) == 72);

FontDescription font_description(const char* face, int32_t size, uint32_t attrs);

struct FontRequest {
  int32_t height, width;  // pixels, or 0 with a size in points
  int32_t escapement, orientation;
  int32_t weight;  // above 699 bold
  uint8_t italic, underline, strike_out;
  uint8_t charset, out_precision, clip_precision, quality;
  uint8_t pitch_family;
  char face[256];
  int32_t size;  // tenths of a point, 0 with a pixel size
};

// Selection bits of FontAttrs.
inline constexpr uint16_t kSelBold = 8, kSelItalic = 16, kSelUnderline = 32, kSelStrikeOut = 64;

struct FontAttrs {
  uint16_t length;  // 280
  uint16_t selection;
  XfFont* font;
  char face[256];
  uint16_t reserved1, reserved2;
  int32_t height, width;
  uint16_t reserved3;
  uint16_t out_class;  // 3 when the request's output precision was 8, else 4
};

struct FontMetrics {
  int32_t height, ascent, descent, internal_leading, external_leading, avg_width, max_width, weight, overhang, aspect_x,
      aspect_y;
  uint16_t first_char, last_char, default_char, break_char;
  uint8_t italic, underlined, struck_out, variable_pitch;
};

struct FontFaceEntry {
  char face[256];  // foundry-family
  int32_t size;    // tenths
  int32_t value;
  int32_t width, height;
  int32_t no_size_list;
  uint16_t mapper[4];  // weight class, width class, resolution y, bit 0 of the last: fixed pitch
};

// style bits: 2 italic, 8 underline, 4 strike-out. size >= 0 tenths; < 0
// the pixel pair.
FontRequest* WinMakeFontRequest(FontRequest* request, const char* face, int32_t size, int32_t weight, uint32_t style,
                                int32_t family = 0, int32_t pitch = 0, int32_t escapement = 0, int32_t orientation = 0,
                                int32_t charset = 1, int32_t out_precision = 0, int32_t clip_precision = 0,
                                int32_t quality = 0);
FontRequest* WinFontRequestFromAttrs(const FontAttrs* attrs, FontRequest* request, int32_t size);
// Opens the request through the pattern chain (ending with "fixed");
// answers 1. When not even "fixed" opens, the process ends.
int WinCreateFont(FontAttrs* attrs, const FontRequest* request);
// The XLFD patterns WinCreateFont tries, in order, with the face name each
// reports.
struct XfFontTry {
  std::string pattern;
  const char* face;  // null: the requested face
};
std::vector<XfFontTry> xf_font_patterns(const FontRequest* request);

// The slot of the description (found or opened), or -2029.
int32_t font_cache_find(const FontDescription* description);
// A copy of the slot's attrs in one static record; null for a bad index.
const FontAttrs* font_cache_attrs(int32_t index);
int32_t font_cache_count();
// The slot of the last lookup that matched (tests).
int32_t font_cache_last_hit();
int font_alias_add(int32_t table, const char* face, int32_t size, const char* new_face, int32_t new_size);
// Rewrites face (capacity 256) and size through the table.
void font_alias_lookup(int32_t table, char* face, int32_t* size);
int font_map_face(int32_t table, char* face, int32_t* size);
int font_face_is_scalable(const char* face);
int font_face_type(const char* face);
void font_normalise_face(char* face);

const std::vector<FontFaceEntry>* WinQueryFonts();
// The callback gets texts beginning with one blank.
int font_enum_for_dialog(uint32_t flags, const char* face, void (*callback)(void* ctx, const std::string& text),
                         void* ctx);
int font_name_seen(const char* name);
void font_name_reset();

int WinFontDlg(void* record, const char* title);
int32_t font_dialog(uint32_t flags, const char* face, int32_t size, uint32_t style, uint32_t colour);

// System fonts 0..4 (0 menus, 1 fixed, 2 proportional, 3 MDI title, 4 MDI
// icon text). style bit 1 bold.
int WinSetSysFont(int32_t element, const char* face, int32_t size, uint32_t style);
void WinQuerySysFont(int32_t element, std::string* face, int32_t* size, uint32_t* style);
// The opened record of a system font, or none when it was never set.
XfFont* xf_sys_font_record(int32_t element);

// Screen metrics.
void WinInitScreenMetrics();
void WinRecalcScreenMetrics();
struct XfScreenMetrics {
  int32_t width, height, ppi_x, ppi_y, twips_x, twips_y, dialog_x, dialog_y;
};
XfScreenMetrics xf_screen_metrics();
// The dialog factor search on given widths (a factor never drops below 1).
void xf_dialog_factors(int32_t* fx, int32_t* fy, int32_t w1, int32_t w2, int32_t h);

// The overhang of an italic font whose "Tg" height is `height`.
int32_t xf_italic_overhang(int32_t height);
