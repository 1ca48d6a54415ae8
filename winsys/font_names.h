// Font names: the server's font list, the foundry of each family, the alias
// names of the server's fonts.alias files, the desktop face names mapped
// onto the two default X faces, and the font list offered to dialogs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "winsys/xfont.h"

// One entry of the font list; every other byte zero.
struct XfFontListEntry {
  char face[255];
  char foundry_family[293];
  int32_t avg_width;
  int32_t pixel_height;
  uint16_t weight_class;  // 7 bold, 5 otherwise
  uint16_t width_class;   // 4 semicondensed, 5 otherwise
  uint16_t res_x, res_y;
  uint16_t charset;  // always 32
  uint16_t point_size;
  uint8_t monospaced;
  uint8_t scalable;
};

void xfFontMapperInit();
const std::vector<std::string>& xfServerFontNames();
// The X face of a desktop face name (lower case).
std::string xfMapFaceName(const char* face);
// The foundry of the first {foundry, family} pair with that family, or null.
const char* xfFoundryOfFamily(const char* family);
// "foundry-family": a face with '-' as it is; a bare family with its foundry,
// or "*-family" when no foundry has it.
std::string xfFaceToFoundryFamily(const char* face);

void xfReadFontAliases();
// The XLFD of an alias, or null.
const char* xfAliasLookup(const char* alias);
// Parses the lines of one fonts.alias text into the alias table (first
// definition wins). Comment lines ('!') are skipped.
void xf_parse_font_aliases(const char* text, size_t length);
// Directories read besides the server's font path (tests).
void xf_add_alias_dir(const char* dir);

// Fills a record for an alias name (its target's fields, or the synthetic
// courier name sized from the digits of the name); -1 when the name is not
// an alias (it begins with '-', or is empty).
int xfAliasRecord(const char* name, XfFont* font);

// Entries for every non-scalable server font, up to max; 0, or -1 when the
// server lists no fonts. The list stays for xfFontCount.
int xfListFonts(std::vector<XfFontListEntry>* entries, int32_t max, int32_t* count);
// 'a': the number of server names; else the entries of the last list.
int32_t xfFontCount(char all);
int xfFamilyIsScalable(const char* foundry_family);
// bit 0 monospaced, bit 1 scalable.
int xfFamilyFlags(const char* foundry_family);
