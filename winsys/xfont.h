// X fonts: one cache of XfFont records, the XLFD parser, the screen
// resolution used in patterns and the pattern builder.
//
// A record is made once per font name and kept until shutdown; callers hold
// the pointer. Fonts are loaded with XLoadQueryFont, which answers "none"
// for a name the server lacks instead of raising an error later. Two names
// that the server resolves to the same font (its FONT property) share one
// record. Every field copy is bounded: names over 255 characters and fields
// over 127 are cut.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

inline constexpr int kFontNameCap = 256;
inline constexpr int kFontFieldCap = 128;

struct XfFont {
  XFontStruct* fs;          // with the per-character metrics
  int32_t ascent, descent;  // of "T"
  Font fid;
  char name[kFontNameCap];  // as asked for
  char foundry[kFontFieldCap];
  char family[kFontFieldCap];
  uint32_t weight;                 // '*', 'b' bold, 'n' other
  uint32_t slant;                  // '*', 'i' italic or oblique, 'n' other
  uint32_t setwidth;               // '*', 'n', 's', 'r', 'd', 'o'
  int32_t pixel_size, point_size;  // point size in tenths
  int32_t res_x, res_y;
  uint32_t spacing;   // '*', 'm', 'c', 'p'
  int32_t avg_width;  // tenths of a pixel
  char charset[kFontFieldCap];
  uint32_t scalable;
};

// Fills the fields from `name` on; 0, or -1 when the name does not start
// with '-', has fewer than fourteen fields or a number field that is not one.
// On -1 the fields are filled as far as the parse got.
int xfParseXlfd(const char* name, XfFont* font);

// The screen's resolution in dots per inch, 71..79 snapped to 75 and 96..104
// to 100. A screen that reports 0 mm counts as 75 dpi.
void xfFontResolution(int32_t* x, int32_t* y);
void xf_resolution_of(int width_px, int width_mm, int height_px, int height_mm, int32_t* x, int32_t* y);

// An XLFD pattern for a request. flags: 8 bold, 16 italic. size in tenths
// (capped at 1000, 0: none); pixel_height fills the pixel field when no size
// is given; pixel_width is the average-width field then. Resolution 0,0 is
// the screen's. The registry and encoding are `charset` ("iso8859-1"), so a
// loose pattern never lands on a two-byte font.
std::string xfMakeFontPattern(const char* face, uint32_t flags, int32_t size, int32_t pixel_height, int32_t pixel_width,
                              int32_t res_x, int32_t res_y, bool any_weight, bool any_slant, bool any_resolution,
                              const char* charset = "iso8859-1");

// The record of a font name or pattern (cached), or none when the server has
// no such font. A name "-alias-NAME-..." opens the alias NAME.
XfFont* xfOpenFont(const char* name, XfFont** out = nullptr);
// The number of records and of names in the cache.
int32_t xf_font_record_count();
int32_t xf_font_name_count();

// "foundry-family" in a static buffer.
const char* xfFontFoundryFamily(const XfFont* font);
// 1 bold | 2 italic.
int xfFontStyle(const XfFont* font);
// Widths of codes 0..255: 0 outside the font's first and last character,
// the per-character width between, the maximum without a table.
void xfCharWidths(const XFontStruct* fs, int32_t widths[256]);
// The rounded mean of the non-zero widths (maximum without a table).
int32_t xfAverageCharWidth(const XFontStruct* fs);
// Whether drawing needs the two-byte calls (a row byte not 0).
bool xf_font_is_two_byte(const XFontStruct* fs);

// The default faces ("adobe-courier", "adobe-helvetica", 120).
void xfSetFixedFace(const char* face, int32_t size);
void xfSetPropFace(const char* face, int32_t size);
const char* xfFixedFace();
const char* xfPropFace();
int32_t xfFixedFaceSize();
int32_t xfPropFaceSize();

// Frees every cached font on the server and every record.
void xfFreeFonts();
